// SPDX-License-Identifier: GPL-3.0-or-later
// Writes a season of generated passes into an archive, and with --shots FOLDER takes the
// README's pictures of the trend window on it: gen_season ARCHIVE [--shots FOLDER].
#include "season.h"
#include "ui/trends/trendwindow.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QLineSeries>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>
#include <cstdio>

namespace {

void settle()
{
    QCoreApplication::sendPostedEvents();
    while (QCoreApplication::eventDispatcher()->processEvents(QEventLoop::AllEvents))
        QCoreApplication::sendPostedEvents();
}

bool shoot(QWidget& window, const QString& path)
{
    settle();
    const bool ok = window.grab().save(path);
    std::fprintf(stderr, "%s %s\n", qPrintable(path), ok ? "written" : "could not be written");
    return ok;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: gen_season ARCHIVE [--shots FOLDER]\n");
        return 2;
    }
    const QString path = args[1];
    const qsizetype shots = args.indexOf(QStringLiteral("--shots"));
    {
        orvik::Archive archive;
        QString error;
        orvik::ArchiveAddResult result;
        const std::vector<orvik::ArchiveEntry> entries =
            orvik::season::generate({QDate(2026, 8, 25), 100, 14});
        if (!archive.open(path, orvik::Archive::Access::ReadWrite, &error) ||
            !archive.add(entries, &result, &error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
        std::fprintf(stderr, "%s: %lld records added, %lld already there\n", qPrintable(path),
                     static_cast<long long>(result.added), static_cast<long long>(result.alreadyThere));
    }
    if (shots < 0 || shots + 1 >= args.size())
        return 0;
    const QString folder = args[shots + 1];

    orvik::TrendWindow window;
    window.resize(1180, 660);
    window.show();
    window.openArchive(path);
    window.setWindowTitle(QStringLiteral("Trends"));
    window.setChosenChannels({27, 29});
    bool ok = shoot(window, folder + QStringLiteral("/trend-season.png"));

    window.setChosenChannels({26, 30});
    window.findChild<QPushButton*>(QStringLiteral("TrendLastPass"))->click();
    settle();
    // The read-out near the pass's highest signal.
    auto* chart = window.findChild<orvik::TrendChart*>(QStringLiteral("TrendChart"));
    const QRectF plot = chart->chart()->plotArea();
    const QPoint at = chart->mapFromScene(QPointF(plot.left() + plot.width() * 0.55, plot.center().y()));
    QTest::mouseMove(chart->viewport(), at);
    ok = shoot(window, folder + QStringLiteral("/trend-pass.png")) && ok;
    return ok ? 0 : 1;
}
