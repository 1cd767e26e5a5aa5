// SPDX-License-Identifier: GPL-3.0-or-later
// The trend chart's lines: broken where nothing was received, a record alone a dot, records
// that stand apart on screen each marked.
#include "ui/trends/brokenline.h"

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
    QTest::addColumn<QList<double>>("dots");  // their x in pixels
    QTest::addColumn<QList<double>>("marks"); // their x in pixels
    const QList<double> none;
    QTest::addRow("no points") << none << 10.0 << 0 << none << none;
    QTest::addRow("one point") << QList<double>{3} << 10.0 << 0 << QList<double>{30} << none;
    QTest::addRow("within an hour") << QList<double>{0, 0.5, 0.9} << 10.0 << 2 << none << none;
    QTest::addRow("an hour apart") << QList<double>{0, 1} << 10.0 << 0 << QList<double>{0, 10} << none;
    QTest::addRow("two runs") << QList<double>{0, 0.5, 1.5, 2} << 10.0 << 2 << none << none;
    QTest::addRow("records alone") << QList<double>{0, 2, 4, 4.5} << 10.0 << 1 << QList<double>{0, 20}
                                   << none;
    QTest::addRow("records of one instant")
        << QList<double>{5, 5, 5} << 10.0 << 0 << QList<double>{50} << none;
    QTest::addRow("gaps too narrow to see") << QList<double>{0, 1, 2} << 2.0 << 2 << none << none;
    QTest::addRow("a pass zoomed into")
        << QList<double>{0, 0.1, 0.2} << 100.0 << 2 << none << QList<double>{0, 10, 20};
    QTest::addRow("close records, then one apart")
        << QList<double>{0, 0.01, 0.02, 0.5} << 100.0 << 3 << none << QList<double>{50};
}

void TestBrokenLine::breaksAtGaps()
{
    QFETCH(QList<double>, hours);
    QFETCH(double, pixelsPerHour);
    QFETCH(int, joins);
    QFETCH(QList<double>, dots);
    QFETCH(QList<double>, marks);
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
    QList<double> markXs;
    for (const QPointF& mark : line.marks)
        markXs << mark.x();
    QCOMPARE(markXs, marks);
}

QTEST_GUILESS_MAIN(TestBrokenLine)
#include "tst_brokenline.moc"
