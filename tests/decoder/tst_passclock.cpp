// SPDX-License-Identifier: GPL-3.0-or-later
#include "decoder/passclock.h"

#include <QStringList>
#include <QTest>
#include <cmath>
#include <limits>

class TestPassClock : public QObject {
    Q_OBJECT
private slots:
    void datesByOnBoardTime_data();
    void datesByOnBoardTime();
};

void TestPassClock::datesByOnBoardTime_data()
{
    QTest::addColumn<QString>("onBoard"); // on-board times in order, "-" for one left out
    QTest::addColumn<QString>("seconds"); // each beacon's received time, seconds after the first
    QTest::addColumn<int>("resets");

    QTest::addRow("a pass of beacons 64 s apart") << "123456 123520 123584 123648"
                                                  << "0 64 128 192" << 0;
    QTest::addRow("copies of one beacon share its time") << "123456 123456 123520 123520"
                                                         << "0 0 64 64" << 0;
    QTest::addRow("a beacon missed between") << "123456 123584"
                                             << "0 128" << 0;
    QTest::addRow("two passes a day apart") << "1000 1064 87400 87464"
                                            << "0 64 86400 86464" << 0;
    QTest::addRow("a time left out takes the one before") << "123456 - 123584"
                                                          << "0 0 128" << 0;
    QTest::addRow("left out before any time") << "- - 500 564"
                                              << "0 0 0 64" << 0;
    // After a reset each run is dated from the time given, and the add says so.
    QTest::addRow("a reset") << "90000 90064 12 76 140"
                             << "0 64 0 64 128" << 1;
    QTest::addRow("two resets") << "500 564 10 74 5"
                                << "0 64 0 64 0" << 2;
    QTest::addRow("the on-board counter at its top") << "16777200 16777215"
                                                     << "0 15" << 0;
    // Two stations' logs of one pass, one after the other: the second's beacons are those of
    // the first, each dated as there, also where it copied one the first did not.
    QTest::addRow("a second station's log of the pass") << "123456 123520 123584 123392 123456 123584"
                                                        << "0 64 128 -64 0 128" << 0;
    QTest::addRow("two stations' logs of two passes") << "123456 123520 210000 123520 210064"
                                                      << "0 64 86544 64 86608" << 0;
    // Back to a time hours before any dated: a reset, whatever the count reads.
    QTest::addRow("a reset to a time still high") << "123456 123520 100000 100064"
                                                  << "0 64 0 64" << 1;
}

void TestPassClock::datesByOnBoardTime()
{
    QFETCH(QString, onBoard);
    QFETCH(QString, seconds);
    QFETCH(int, resets);
    constexpr std::int64_t first = 1765223580000; // 2025-12-08T19:53:00Z
    orvik::PassClock clock(first);
    QStringList got;
    for (const QString& t : onBoard.split(u' ')) {
        const double obc = t == u"-" ? std::numeric_limits<double>::quiet_NaN() : t.toDouble();
        const std::int64_t ms = clock.date(obc);
        QCOMPARE(ms % 1000, std::int64_t(0));
        got << QString::number((ms - first) / 1000);
    }
    QCOMPARE(got.join(u' '), seconds);
    QCOMPARE(clock.resets(), resets);
    QCOMPARE(clock.firstMs(), first);
}

QTEST_APPLESS_MAIN(TestPassClock)
#include "tst_passclock.moc"
