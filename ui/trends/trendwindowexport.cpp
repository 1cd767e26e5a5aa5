// SPDX-License-Identifier: GPL-3.0-or-later
// The trend window's exports: what is on show as CSV, the chart as an image.
#include "trendexport.h"
#include "trendwindow.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>

namespace orvik {

bool TrendWindow::exportCsv(const QString& path, QString* error)
{
    if (!m_archive) {
        if (error)
            *error = m_problem;
        return false;
    }
    std::vector<int> channels = chosenChannels();
    // On board, the time on show is a channel of its own.
    if (m_time == TrendTime::OnBoard && (channels.empty() || channels.front() != 0))
        channels.insert(channels.begin(), 0);
    QString failure;
    const bool saved = saveTrendCsv(path, *m_archive, channels, m_time, m_view.lo, m_view.hi, &failure);
    return report(path, saved, failure, error);
}

bool TrendWindow::saveImage(const QString& path, QString* error)
{
    // A drawing is shared: its title names the archive, not the folders of the user's home.
    const QString title = QStringLiteral("Trends \u2013 ") + QFileInfo(m_path).fileName();
    QString failure;
    const bool saved = saveWidgetImage(path, m_chart, title, &failure);
    return report(path, saved, failure, error);
}

bool TrendWindow::report(const QString& path, bool saved, const QString& failure, QString* error)
{
    m_status->setText(saved ? QDir::toNativeSeparators(path) + QStringLiteral(" has been written") : failure);
    if (!saved && error)
        *error = failure;
    return saved;
}

void TrendWindow::askCsv()
{
    const QString path =
        askSaveName(this, m_fileNames, QStringLiteral("Export CSV"), QStandardPaths::DocumentsLocation,
                    QStringLiteral("orvik_trend.csv"), QStringLiteral("CSV files (*.csv)"));
    if (!path.isEmpty())
        exportCsv(path);
}

void TrendWindow::askImage()
{
    QString path = askSaveName(this, m_fileNames, QStringLiteral("Save image"),
                               QStandardPaths::PicturesLocation, QStringLiteral("orvik_trend.png"),
                               QStringLiteral("PNG image (*.png);;SVG drawing (*.svg)"));
    if (path.isEmpty())
        return;
    if (!path.endsWith(QLatin1String(".svg"), Qt::CaseInsensitive) &&
        !path.endsWith(QLatin1String(".png"), Qt::CaseInsensitive))
        path += QStringLiteral(".png");
    saveImage(path);
}

} // namespace orvik
