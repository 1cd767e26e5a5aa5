// SPDX-License-Identifier: GPL-3.0-or-later
#include "trendexport.h"

#include "format/beacontext.h"
#include "platform/numbertext.h"
#include "platform/services.h"

#include <QFileDialog>
#include <QPainter>
#include <QSvgGenerator>
#include <QWidget>
#include <cmath>

namespace orvik {

QString saveTrendCsv(const QString& path, const Archive& archive, std::span<const int> channels,
                     TrendTime time, double lo, double hi)
{
    const std::string point = localDecimalPoint().toStdString();
    QString queryError;
    const QString error = saveFileAtomically(
        path,
        [&](QIODevice& out) {
            QByteArray header = "Received (UTC);";
            for (int c : channels) {
                const std::string_view caption = kChannels[std::size_t(c)].caption;
                header += QByteArray(caption.data(), qsizetype(caption.size())) + ';';
            }
            header += "\r\n";
            if (out.write(header) != header.size())
                return false;
            std::vector<char> line(channels.size() * (kNumberRoom + point.size() + 1) + 64);
            bool written = true;
            const bool read = forEachTrendRow(
                archive, channels, time, lo, hi,
                [&](qint64 receivedMs, std::span<const double> values) {
                    const QByteArray at = archiveTimeText(receivedMs).toLatin1();
                    char* p = std::copy(at.begin(), at.end(), line.data());
                    *p++ = ';';
                    for (double v : values) {
                        if (!std::isnan(v))
                            p = appendCsvNumber(p, v, point);
                        *p++ = ';';
                    }
                    *p++ = '\r';
                    *p++ = '\n';
                    written = out.write(line.data(), p - line.data()) == p - line.data();
                    return written;
                },
                &queryError);
            return read && written;
        },
        QStringLiteral("the archive could not be read"));
    return error.isEmpty() || queryError.isEmpty() ? error : queryError;
}

QString saveWidgetImage(const QString& path, QWidget* widget, const QString& title)
{
    const bool svg = path.endsWith(QLatin1String(".svg"), Qt::CaseInsensitive);
    return saveFileAtomically(
        path,
        [&](QIODevice& out) {
            if (!svg)
                return widget->grab().toImage().save(&out, "PNG");
            QSvgGenerator generator;
            generator.setOutputDevice(&out);
            generator.setSize(widget->size());
            generator.setViewBox(QRect(QPoint(0, 0), widget->size()));
            generator.setTitle(title);
            QPainter painter;
            if (!painter.begin(&generator))
                return false;
            widget->render(&painter);
            return painter.end();
        },
        QStringLiteral("the image could not be made"));
}

QString askSaveName(QWidget* parent, const FileNameProvider& provider, const QString& caption,
                    QStandardPaths::StandardLocation folder, const QString& name, const QString& filters)
{
    const QString suggested = joinPath(QStandardPaths::writableLocation(folder), name);
    return provider ? provider(caption, suggested, filters)
                    : QFileDialog::getSaveFileName(parent, caption, suggested, filters);
}

} // namespace orvik
