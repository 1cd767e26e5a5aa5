// SPDX-License-Identifier: GPL-3.0-or-later
// Times the trend window on an archive of 1,000,000 records, headless: from the window's
// creation until the event loop is idle with one channel drawn over everything. The archive
// is made once, through archive/, and kept beside this program for later runs.
#include "season.h"
#include "ui/trends/trendwindow.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineSeries>
#include <QPushButton>
#include <algorithm>
#include <cstdio>

namespace {

constexpr qint64 kRecords = 1'000'000;

void settle()
{
    QCoreApplication::sendPostedEvents();
    while (QCoreApplication::eventDispatcher()->processEvents(QEventLoop::AllEvents))
        QCoreApplication::sendPostedEvents();
}

// Records 10 s apart, 116 days in all, with slow drifts, passes' swings and rare spikes.
bool makeArchive(const QString& path)
{
    QFile::remove(path);
    orvik::Archive archive;
    QString error;
    if (!archive.open(path, orvik::Archive::Access::ReadWrite, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return false;
    }
    orvik::season::Random rng(1);
    const qint64 start = QDateTime(QDate(2026, 8, 15), QTime(0, 0), Qt::UTC).toMSecsSinceEpoch();
    std::vector<orvik::ArchiveEntry> batch;
    QElapsedTimer t;
    t.start();
    for (qint64 i = 0; i < kRecords; ++i) {
        const double f = double(i) / double(kRecords);
        std::array<int, orvik::kChannelCount> raw{};
        for (int c = 10; c < orvik::kChannelCount; ++c)
            raw[std::size_t(c)] = int((i * 7 + c * 13) % 40) + 100;
        raw[11] =
            orvik::season::rawFor(11, 4.1 - 0.3 * f + 0.02 * rng.between(-1, 1) + (i % 99991 == 0 ? -1 : 0));
        const std::string line = orvik::season::beaconLine(std::uint32_t(i * 10), 0, raw);
        orvik::ArchiveEntry e;
        e.line = line;
        orvik::decodeBeaconLine(std::u16string(line.begin(), line.end()), e.values);
        e.receivedMs = start + i * 10'000;
        e.source = QStringLiteral("bench");
        batch.push_back(std::move(e));
        if (batch.size() == 100'000 || i + 1 == kRecords) {
            if (!archive.add(batch, nullptr, &error)) {
                std::fprintf(stderr, "%s\n", qPrintable(error));
                return false;
            }
            batch.clear();
        }
    }
    std::printf("  archive of %lld records made in %.1f s\n", static_cast<long long>(archive.recordCount()),
                double(t.elapsed()) / 1000);
    return archive.recordCount() == kRecords;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const QString path = QCoreApplication::applicationDirPath() + QStringLiteral("/bench-trend-1m.sqlite");
    {
        orvik::Archive cached;
        QString error;
        const bool reuse =
            cached.open(path, orvik::Archive::Access::ReadOnly, &error) && cached.recordCount() == kRecords;
        cached.close();
        if (!reuse && !makeArchive(path))
            return 1;
    }

    std::printf(
        "trend window on 1,000,000 records (ms)           median  fastest  slowest  points  target\n");
    std::vector<double> times;
    std::vector<double> passes;
    qsizetype points = 0;
    for (int run = 0; run < 7; ++run) {
        QElapsedTimer t;
        t.start();
        orvik::TrendWindow window;
        window.resize(1100, 640);
        window.show();
        window.openArchive(path); // Battery Volt*, everything
        settle();
        times.push_back(double(t.nsecsElapsed()) / 1e6);
        const auto series = window.findChild<orvik::TrendChart*>()->lineSeries();
        points = series.isEmpty() ? 0 : series.first()->count();
        t.start();
        window.findChild<QPushButton*>(QStringLiteral("TrendLastPass"))->click();
        settle();
        passes.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    std::printf("  open, one channel over everything, 7 runs %8.1f %8.1f %8.1f %7lld %7d\n", median(times),
                *std::min_element(times.begin(), times.end()), *std::max_element(times.begin(), times.end()),
                static_cast<long long>(points), 500);
    std::printf("  then Last pass, 7 runs                    %8.1f %8.1f %8.1f %7s %7s\n", median(passes),
                *std::min_element(passes.begin(), passes.end()),
                *std::max_element(passes.begin(), passes.end()), "-", "-");
    return 0;
}
