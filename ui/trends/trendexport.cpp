// SPDX-License-Identifier: GPL-3.0-or-later
#include "trendexport.h"

#include "format/recordform.h"
#include "platform/numbertext.h"
#include "platform/services.h"

#include <QFileDialog>
#include <QPainter>
#include <QSvgGenerator>
#include <QWidget>

namespace orvik {

bool saveTrendCsv(const QString& path, const Archive& archive, std::span<const int> channels, TrendTime time,
                  double lo, double hi, QString* error)
{
    RecordLayout layout;
    layout.before = {
        {"received", "Received (UTC)"}
    };
    layout.channels.assign(channels.begin(), channels.end());
    RecordForm form(TlmFormat::Csv, localDecimalPoint().toStdString(), std::move(layout));
    QString queryError;
    const bool saved = saveFileAtomically(
        path,
        [&](QIODevice& out) {
            TextBlock line(&out);
            line += form.header();
            bool written = line.flush();
            const bool read = written && forEachTrendRow(
                                             archive, channels, time, lo, hi,
                                             [&](qint64 receivedMs, std::span<const double> values) {
                                                 RecordText(form, line)
                                                     .text(archiveTimeText(receivedMs).toStdString())
                                                     .values(values)
                                                     .end();
                                                 written = line.flush();
                                                 return written;
                                             },
                                             &queryError);
            return read && written;
        },
        QStringLiteral("the archive could not be read"), error);
    // The archive's own message says more than the file's.
    if (!saved && error && !queryError.isEmpty())
        *error = queryError;
    return saved;
}

bool saveWidgetImage(const QString& path, QWidget* widget, const QString& title, QString* error)
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
        QStringLiteral("the image could not be made"), error);
}

QString askSaveName(QWidget* parent, const FileNameProvider& provider, const QString& caption,
                    QStandardPaths::StandardLocation folder, const QString& name, const QString& filters)
{
    const QString suggested = joinPath(QStandardPaths::writableLocation(folder), name);
    return provider ? provider(caption, suggested, filters)
                    : QFileDialog::getSaveFileName(parent, caption, suggested, filters);
}

} // namespace orvik
