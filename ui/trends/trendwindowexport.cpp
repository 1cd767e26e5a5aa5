// SPDX-License-Identifier: GPL-3.0-or-later
// The trend window's exports: what is on show as CSV, the chart as an image.
#include "trendexport.h"
#include "trendwindow.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>

namespace orvik {

QString TrendWindow::exportCsv(const QString& path)
{
    if (!m_archive)
        return m_problem;
    std::vector<int> channels = chosenChannels();
    // On board, the time on show is a channel of its own.
    if (m_time == TrendTime::OnBoard && (channels.empty() || channels.front() != 0))
        channels.insert(channels.begin(), 0);
    const QString error = saveTrendCsv(path, *m_archive, channels, m_time, m_view.lo, m_view.hi);
    report(path, error);
    return error;
}

QString TrendWindow::saveImage(const QString& path)
{
    // A drawing is shared: its title names the archive, not the folders of the user's home.
    const QString title = QStringLiteral("Trends \u2013 ") + QFileInfo(m_path).fileName();
    const QString error = saveWidgetImage(path, m_chart, title);
    report(path, error);
    return error;
}

void TrendWindow::report(const QString& path, const QString& error)
{
    const QString shown = QDir::toNativeSeparators(path);
    m_status->setText(error.isEmpty() ? shown + QStringLiteral(" has been written")
                                      : shown + QStringLiteral(" could not be written: ") + error);
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
