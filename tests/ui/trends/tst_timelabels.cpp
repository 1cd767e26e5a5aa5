// SPDX-License-Identifier: GPL-3.0-or-later
// The trend chart's own time axis: grid lines where the ticks stand, labels that leave the
// painter as they found it.
#include "ui/trends/timelabels.h"

#include <QImage>
#include <QTest>

using namespace orvik;

class TestTimeLabels : public QObject {
    Q_OBJECT
private slots:
    void gridAtTicks_data();
    void gridAtTicks();
    void labelsLeaveThePainter();
};

void TestTimeLabels::gridAtTicks_data()
{
    QTest::addColumn<QList<double>>("ticks");
    QTest::addColumn<double>("scale"); // pixels per unit of x
    QTest::addColumn<QList<int>>("columns");
    QTest::addRow("none") << QList<double>{} << 1.0 << QList<int>{};
    QTest::addRow("as placed") << QList<double>{10, 25, 70} << 1.0 << QList<int>{10, 25, 70};
    QTest::addRow("scaled") << QList<double>{5, 30} << 2.0 << QList<int>{10, 60};
}

void TestTimeLabels::gridAtTicks()
{
    QFETCH(QList<double>, ticks);
    QFETCH(double, scale);
    QFETCH(QList<int>, columns);
    QImage image(100, 40, QImage::Format_ARGB32);
    image.fill(Qt::white);
    std::vector<TimeTick> shown;
    for (const double x : ticks)
        shown.push_back({x, QString(), QString()});
    {
        QPainter painter(&image);
        drawTimeGrid(
            painter, QRectF(0, 5, 100, 30), shown, [scale](double x) { return x * scale + 0.5; }, Qt::black);
    }
    QList<int> painted;
    for (int x = 0; x < image.width(); ++x) {
        if (image.pixel(x, 20) != qRgb(255, 255, 255))
            painted << x;
    }
    QCOMPARE(painted, columns);
    // Across the plot only.
    for (const int x : columns)
        QCOMPARE(image.pixel(x, 1), qRgb(255, 255, 255));
}

void TestTimeLabels::labelsLeaveThePainter()
{
    QImage image(300, 120, QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    const QFont before = painter.font();
    drawTimeLabels(
        painter, QRectF(10, 10, 280, 40),
        {
            {100, "10:00", "2026-12-01"}
    },
        [](double x) { return x; }, TrendTime::Received);
    QCOMPARE(painter.font(), before);
    // Something is drawn below the plot and nothing inside it.
    bool below = false;
    for (int y = 51; y < image.height() && !below; ++y)
        for (int x = 0; x < image.width() && !below; ++x)
            below = image.pixel(x, y) != qRgb(255, 255, 255);
    QVERIFY(below);
    QCOMPARE(image.pixel(100, 30), qRgb(255, 255, 255));
}

QTEST_MAIN(TestTimeLabels)
#include "tst_timelabels.moc"
