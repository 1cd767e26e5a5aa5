// SPDX-License-Identifier: GPL-3.0-or-later
// The trend chart's lines: broken where nothing was received, a record alone a dot.
#include "ui/brokenline.h"

#include <QTest>

using orvik::brokenLine;
using orvik::kGapMs;

class TestBrokenLine : public QObject {
    Q_OBJECT
private slots:
    void breaksAtGaps_data();
    void breaksAtGaps();
};

void TestBrokenLine::breaksAtGaps_data()
{
    QTest::addColumn<QList<double>>("hours");
    QTest::addColumn<double>("pixelsPerHour");
    QTest::addColumn<int>("joins");
    QTest::addColumn<QList<double>>("dots"); // their x in pixels
    QTest::addRow("no points") << QList<double>{} << 10.0 << 0 << QList<double>{};
    QTest::addRow("one point") << QList<double>{3} << 10.0 << 0 << QList<double>{30};
    QTest::addRow("within an hour") << QList<double>{0, 0.5, 0.9} << 10.0 << 2 << QList<double>{};
    QTest::addRow("an hour apart") << QList<double>{0, 1} << 10.0 << 0 << QList<double>{0, 10};
    QTest::addRow("two runs") << QList<double>{0, 0.5, 1.5, 2} << 10.0 << 2 << QList<double>{};
    QTest::addRow("records alone") << QList<double>{0, 2, 4, 4.5} << 10.0 << 1 << QList<double>{0, 20};
    QTest::addRow("records of one instant") << QList<double>{5, 5, 5} << 10.0 << 0 << QList<double>{50};
    QTest::addRow("gaps too narrow to see") << QList<double>{0, 1, 2} << 2.0 << 2 << QList<double>{};
}

void TestBrokenLine::breaksAtGaps()
{
    QFETCH(QList<double>, hours);
    QFETCH(double, pixelsPerHour);
    QFETCH(int, joins);
    QFETCH(QList<double>, dots);
    QList<QPointF> points;
    for (const double hour : hours)
        points << QPointF(hour * kGapMs, 1);
    const auto line =
        brokenLine(points, [&](const QPointF& p) { return QPointF(p.x() / kGapMs * pixelsPerHour, p.y()); });
    int lineTos = 0;
    for (int i = 0; i < line.path.elementCount(); ++i)
        lineTos += line.path.elementAt(i).isLineTo() ? 1 : 0;
    QCOMPARE(lineTos, joins);
    QList<double> dotXs;
    for (const QPointF& dot : line.dots)
        dotXs << dot.x();
    QCOMPARE(dotXs, dots);
}

QTEST_GUILESS_MAIN(TestBrokenLine)
#include "tst_brokenline.moc"
