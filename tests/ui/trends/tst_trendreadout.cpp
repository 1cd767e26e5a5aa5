// SPDX-License-Identifier: GPL-3.0-or-later
// The trend chart's read-out: where it stands, where the arrow keys take it, what it says.
#include "ui/trends/timeaxis.h"
#include "ui/trends/trendreadout.h"

#include <QLocale>
#include <QTest>
#include <cmath>
#include <limits>

using namespace orvik;

namespace {

constexpr double kNone = std::numeric_limits<double>::quiet_NaN();

// Two lines whose points interleave, and one without any.
std::vector<ChartLine> lines()
{
    return {
        {QStringLiteral("Volts"),  QStringLiteral("V"), false, {{0, 1.0}, {10, 2.5}, {20, 3.0}}},
        {QStringLiteral("Resets"), QString(),           true,  {{5, 7}, {30, 9}}               },
        {QStringLiteral("Temp"),   QStringLiteral("C"), false, {}                              }
    };
}

} // namespace

class TestTrendReadOut : public QObject {
    Q_OBJECT
private slots:
    void standsOnNearestPoint_data();
    void standsOnNearestPoint();
    void steps_data();
    void steps();
    void tellsEachLine();
};

void TestTrendReadOut::standsOnNearestPoint_data()
{
    QTest::addColumn<double>("x");
    QTest::addColumn<double>("expected");
    QTest::addRow("nowhere") << kNone << kNone;
    QTest::addRow("nearer a point of the other line") << 4.0 << 5.0;
    QTest::addRow("past one line's end") << 26.0 << 30.0;
    QTest::addRow("before every point") << -100.0 << 0.0;
    QTest::addRow("on a point") << 20.0 << 20.0;
}

void TestTrendReadOut::standsOnNearestPoint()
{
    QFETCH(double, x);
    QFETCH(double, expected);
    const double at = readOutAt(lines(), x);
    QVERIFY2(std::isnan(expected) ? std::isnan(at) : at == expected, qPrintable(QString::number(at)));
}

void TestTrendReadOut::steps_data()
{
    QTest::addColumn<double>("from");
    QTest::addColumn<int>("direction");
    QTest::addColumn<double>("expected");
    QTest::addRow("Home") << kNone << 1 << 0.0;
    QTest::addRow("End") << kNone << -1 << 30.0;
    QTest::addRow("right onto the other line") << 5.0 << 1 << 10.0;
    QTest::addRow("left onto the other line") << 10.0 << -1 << 5.0;
    QTest::addRow("right from between points") << 7.0 << 1 << 10.0;
    QTest::addRow("right from the last") << 30.0 << 1 << kNone;
    QTest::addRow("left from the first") << 0.0 << -1 << kNone;
}

void TestTrendReadOut::steps()
{
    QFETCH(double, from);
    QFETCH(int, direction);
    QFETCH(double, expected);
    const double next = readOutStep(lines(), from, direction);
    QVERIFY2(std::isnan(expected) ? std::isnan(next) : next == expected, qPrintable(QString::number(next)));
}

void TestTrendReadOut::tellsEachLine()
{
    const QString point = QLocale::system().decimalPoint();
    QCOMPARE(readOutText(lines(), TrendTime::Received, 10),
             timeText(TrendTime::Received, 10) + ": Volts 2" + point + "50 V, Resets 7, Temp no value");
    QCOMPARE(readOutText(lines(), TrendTime::Received, kNone), QString());
    // Lines without a point give the read-out no place to stand.
    QVERIFY(std::isnan(readOutAt({lines().back()}, 3.0)));
}

QTEST_GUILESS_MAIN(TestTrendReadOut)
#include "tst_trendreadout.moc"
