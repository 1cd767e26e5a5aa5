// SPDX-License-Identifier: GPL-3.0-or-later
// What a parse tells of the lines it did not decode: of them, those that look like a beacon
// heard wrong, which the log underlines and the status line counts.
#include "decoder/recordtable.h"
#include "support/referenceline.h"

#include <QTest>
#include <memory>
#include <vector>

using Lines = QList<std::size_t>;

class TestLogReport : public QObject {
    Q_OBJECT
private slots:
    void attemptsAreLinesThatLookLikeBeacons_data();
    void attemptsAreLinesThatLookLikeBeacons();
};

void TestLogReport::attemptsAreLinesThatLookLikeBeacons_data()
{
    using testsupport::beacon;
    QTest::addColumn<QStringList>("log");
    QTest::addColumn<Lines>("notDecoded");
    QTest::addColumn<Lines>("attempts");
    QTest::addRow("a header, chatter and two damaged beacons")
        << QStringList{QStringLiteral("# Orvik pass 2026-12-08"), beacon(1), QStringLiteral("73 de DL1ABC"),
                       beacon(2).left(100), beacon(3).replace(38, 4, QStringLiteral("orw4"))}
        << Lines{0, 2, 3, 4} << Lines{3, 4};
    QTest::addRow("noise") << QStringList{beacon(1), QStringLiteral("qrm qrm"), beacon(2)} << Lines{1}
                           << Lines{};
    QTest::addRow("a tag that lost its digit")
        << QStringList{QStringLiteral("orv 01e240 orv2 e55a0080")} << Lines{0} << Lines{0};
    QTest::addRow("the satellite named in capitals")
        << QStringList{QStringLiteral("ORVIK BEACON"), QStringLiteral("orvi 01e240")} << Lines{0, 1}
        << Lines{1};
}

void TestLogReport::attemptsAreLinesThatLookLikeBeacons()
{
    QFETCH(QStringList, log);
    QFETCH(Lines, notDecoded);
    QFETCH(Lines, attempts);
    std::vector<std::u16string_view> views;
    for (const QString& line : std::as_const(log))
        views.push_back({reinterpret_cast<const char16_t*>(line.utf16()), std::size_t(line.size())});
    const auto table = std::make_unique<orvik::RecordTable>();
    orvik::LogReport report;
    orvik::parseLogLines(views, *table, &report);
    QCOMPARE(Lines(report.notDecoded.begin(), report.notDecoded.end()), notDecoded);
    QCOMPARE(Lines(report.attempts.begin(), report.attempts.end()), attempts);
}

QTEST_APPLESS_MAIN(TestLogReport)
#include "tst_logreport.moc"
