// SPDX-License-Identifier: GPL-3.0-or-later
#include "timeaxis.h"

#include "decoder/hexconv.h"

#include <QDateTime>
#include <QLocale>
#include <cmath>
#include <limits>

namespace orvik {

namespace {

constexpr qint64 kSecond = 1000;
constexpr qint64 kMinute = 60 * kSecond;
constexpr qint64 kHour = 60 * kMinute;
constexpr qint64 kDay = 24 * kHour;
// Steps of whole seconds to weeks; received time goes on in months, on-board time in days.
constexpr qint64 kSteps[] = {kSecond,  2 * kSecond, 5 * kSecond, 10 * kSecond, 15 * kSecond, 30 * kSecond,
                             kMinute,  2 * kMinute, 5 * kMinute, 10 * kMinute, 15 * kMinute, 30 * kMinute,
                             kHour,    2 * kHour,   3 * kHour,   6 * kHour,    12 * kHour,   kDay,
                             2 * kDay, 7 * kDay,    14 * kDay};
constexpr int kMonthSteps[] = {1, 2, 3, 6, 12, 24, 60, 120};
constexpr qint64 kOnBoardDaySteps[] = {28, 50, 100, 200, 500, 1000, 2000, 5000, 10000};
// 1970-01-05, the first Monday of the epoch: weeks start on Mondays.
constexpr qint64 kFirstMonday = 4 * kDay;

QDateTime utc(double x) { return QDateTime::fromMSecsSinceEpoch(qint64(std::llround(x)), Qt::UTC); }

qint64 floorDiv(qint64 a, qint64 b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0); }

// Labels for ticks `step` apart, or month steps when months > 0.
std::vector<TimeTick> ticksFor(TrendTime time, double lo, double hi, qint64 step, int months)
{
    std::vector<TimeTick> ticks;
    const QLocale locale = QLocale::system();
    if (months > 0) {
        const QDate first = utc(lo).date();
        QDate d(first.year(), first.month(), 1);
        while ((d.month() - 1) % std::min(months, 12) != 0 || d.year() % std::max(1, months / 12) != 0 ||
               QDateTime(d, QTime(0, 0), Qt::UTC).toMSecsSinceEpoch() < lo)
            d = d.addMonths(1);
        for (; double(QDateTime(d, QTime(0, 0), Qt::UTC).toMSecsSinceEpoch()) <= hi; d = d.addMonths(months))
            ticks.push_back({double(QDateTime(d, QTime(0, 0), Qt::UTC).toMSecsSinceEpoch()),
                             locale.toString(d, QStringLiteral("MMM")), QString::number(d.year())});
    } else {
        const qint64 align = step >= 7 * kDay && time == TrendTime::Received ? kFirstMonday : 0;
        for (qint64 t = (floorDiv(qint64(std::ceil(lo)) - align - 1, step) + 1) * step + align;
             double(t) <= hi; t += step) {
            TimeTick tick{double(t), {}, {}};
            if (time == TrendTime::Received) {
                const QDateTime at = utc(double(t));
                const QString clock = step < kMinute ? QStringLiteral("HH:mm:ss") : QStringLiteral("HH:mm");
                tick.label = locale.toString(at, step < kDay ? clock : QStringLiteral("d MMM"));
                tick.dateLabel = step < kDay ? locale.toString(at.date(), QStringLiteral("d MMM yyyy"))
                                             : QString::number(at.date().year());
            } else {
                const qint64 day = floorDiv(t, kDay);
                const QTime clock = QTime(0, 0).addMSecs(int(t - day * kDay));
                tick.label = step < kDay ? clock.toString(step < kMinute ? QStringLiteral("HH:mm:ss")
                                                                         : QStringLiteral("HH:mm"))
                                         : QStringLiteral("day %1").arg(day);
                tick.dateLabel = step < kDay ? QStringLiteral("day %1").arg(day) : QString();
            }
            ticks.push_back(tick);
        }
    }
    // The second line only where it changes.
    QString previous;
    for (TimeTick& tick : ticks) {
        if (tick.dateLabel == previous)
            tick.dateLabel.clear();
        else
            previous = tick.dateLabel;
    }
    return ticks;
}

bool fits(const std::vector<TimeTick>& ticks, double lo, double hi, double width,
          const std::function<double(const QString&)>& textWidth)
{
    if (ticks.size() < 2)
        return true;
    const double perTick = (ticks[1].x - ticks[0].x) / (hi - lo) * width;
    const double gap = textWidth(QStringLiteral("MM"));
    for (const TimeTick& tick : ticks) {
        if (std::max(textWidth(tick.label), textWidth(tick.dateLabel)) + gap > perTick)
            return false;
    }
    return true;
}

} // namespace

std::vector<TimeTick> timeTicks(TrendTime time, double lo, double hi, double width,
                                const std::function<double(const QString&)>& textWidth)
{
    if (!(hi > lo) || width <= 0)
        return {};
    for (qint64 step : kSteps) {
        if ((hi - lo) / double(step) > width / 8)
            continue;
        std::vector<TimeTick> ticks = ticksFor(time, lo, hi, step, 0);
        if (fits(ticks, lo, hi, width, textWidth))
            return ticks;
    }
    if (time == TrendTime::Received) {
        for (int months : kMonthSteps) {
            std::vector<TimeTick> ticks = ticksFor(time, lo, hi, 0, months);
            if (fits(ticks, lo, hi, width, textWidth))
                return ticks;
        }
    } else {
        for (qint64 days : kOnBoardDaySteps) {
            std::vector<TimeTick> ticks = ticksFor(time, lo, hi, days * kDay, 0);
            if (fits(ticks, lo, hi, width, textWidth))
                return ticks;
        }
    }
    return {};
}

QString timeText(TrendTime time, double x)
{
    if (time == TrendTime::Received)
        return utc(x).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) + QStringLiteral(" UTC");
    const double seconds =
        std::clamp(std::floor(x / 1000.0), double(std::numeric_limits<std::int32_t>::min()),
                   double(std::numeric_limits<std::int32_t>::max()));
    return QString::fromStdString(SecToTime(std::int32_t(seconds))) + QStringLiteral(" on board");
}

} // namespace orvik
