// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A season's archive for the trend window's tests, and ways to look at and point into the chart.
#include "../../archive/storedrecords.h"
#include "archive/archive.h"
#include "cli/batch.h"
#include "format/beacontext.h"
#include "platform/numbertext.h"
#include "support/tlmtestdata.h"
#include "ui/trends/trendchart.h"

#include <QBuffer>
#include <QChart>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QFile>
#include <cmath>
#include <vector>

namespace trendtest {

using namespace orvik;

constexpr qint64 kMinute = 60 * 1000;
constexpr qint64 kHour = 60 * kMinute;
constexpr qint64 kDay = 24 * kHour;
const qint64 kStart = QDateTime(QDate(2026, 12, 1), QTime(10, 0), Qt::UTC).toMSecsSinceEpoch();

struct Pass {
    qint64 at;
    int records;
};

// Four passes of ten records 30 s apart; the last two 90 minutes apart.
const Pass kPasses[] = {
    {kStart,                           10},
    {kStart + 5 * kDay,                10},
    {kStart + 6 * kDay,                10},
    {kStart + 6 * kDay + 90 * kMinute, 10}
};

inline ArchiveEntry entry(qint64 at, int n, double volt)
{
    ArchiveEntry e;
    e.line = QStringLiteral("orv1 %1 test").arg(n, 6, 16, QLatin1Char('0')).toStdString();
    e.values.fill(std::nan(""));
    e.values[0] = double(at - kStart) / 1000.0 + 864000; // the on-board clock, 10 days ahead
    e.values[11] = volt;
    e.values[13] = -10 + n * 0.25;
    e.values[27] = 4.1 - n * 0.01;
    e.receivedMs = at;
    e.source = QStringLiteral("test:%1").arg(n);
    return e;
}

inline std::vector<ArchiveEntry> season()
{
    std::vector<ArchiveEntry> out;
    for (const Pass& p : kPasses) {
        for (int i = 0; i < p.records; ++i)
            out.push_back(entry(p.at + i * 30000, int(out.size()), 3.5 + double(out.size()) * 0.013));
    }
    return out;
}

inline QString writeArchive(const QString& path, const std::vector<ArchiveEntry>& entries)
{
    Archive archive;
    QString error;
    if (!archive.open(path, Archive::Access::ReadWrite, &error))
        return error.isEmpty() ? QStringLiteral("failed") : error;
    return storeRecords(archive, entries);
}

// A number as the window's CSV export writes it, with the user's decimal separator.
inline QString csvNumber(double value)
{
    char text[64];
    return QString::fromLatin1(text, appendCsvNumber(text, value, localDecimalPoint().toStdString()) - text);
}

inline QDateTimeAxis* timeAxis(TrendChart* chart)
{
    const QList<QAbstractAxis*> axes = chart->chart()->axes(Qt::Horizontal);
    return axes.isEmpty() ? nullptr : qobject_cast<QDateTimeAxis*>(axes.first());
}

// orvik-tlm --archive, as run from the command line, on lines given as its standard input.
inline int toolAdds(const QString& archive, const QByteArray& lines, const QString& received)
{
    return runInMemory({"--archive", archive, "--received", received, "-"}, lines).status;
}

inline QPoint plotPoint(TrendChart* chart, double fx, double fy)
{
    const QRectF plot = chart->chart()->plotArea();
    return chart->mapFromScene(QPointF(plot.left() + fx * plot.width(), plot.top() + fy * plot.height()));
}

} // namespace trendtest
