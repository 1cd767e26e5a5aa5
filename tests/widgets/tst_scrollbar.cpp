// SPDX-License-Identifier: GPL-3.0-or-later
// The record scroll bar: 16-bit ends that may be reversed, a position that stays inside
// them, and changed() after code and user moves but not while the thumb is dragged.
#include "scrollbartestdata.h"
#include "widgets/scrollbar.h"

#include <QApplication>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QStyleOptionSlider>
#include <QTest>
#include <QWidget>
#include <algorithm>

using orvik::ScrollBar;

using namespace scrollbartest;

class TestScrollBar : public QObject {
    Q_OBJECT
private slots:
    void construction_data();
    void construction();
    void plainScrollBarLosesPosition();
    void setMax_data();
    void setMax();
    void setMin_data();
    void setMin();
    void setValue_data();
    void setValue();
};

void TestScrollBar::construction_data()
{
    QTest::addColumn<int>("min");
    QTest::addColumn<int>("max");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("expected");

    QTest::addRow("window start 1 to 1") << 1 << 1 << 1 << 1;
    QTest::addRow("value above the range") << 0 << 10 << 20 << 10;
    QTest::addRow("value below the range") << 0 << 10 << -5 << 0;
    QTest::addRow("reversed, value inside") << 10 << 0 << 5 << 5;
    QTest::addRow("reversed, value below both") << 10 << 0 << -3 << 0;
    QTest::addRow("reversed, value above both") << 10 << 0 << 12 << 10;
    QTest::addRow("16-bit extremes") << -32768 << 32767 << -32768 << -32768;
    QTest::addRow("16-bit extremes reversed") << 32767 << -32768 << 32767 << 32767;
}

void TestScrollBar::construction()
{
    QFETCH(int, min);
    QFETCH(int, max);
    QFETCH(int, value);
    QFETCH(int, expected);

    QScrollBar widget(Qt::Horizontal);
    ScrollBar bar(&widget, qint16(min), qint16(max), qint16(value));
    QCOMPARE(bar.min(), min);
    QCOMPARE(bar.max(), max);
    QCOMPARE(bar.value(), expected);
    QVERIFY(!widget.hasTracking());
}

void TestScrollBar::plainScrollBarLosesPosition()
{
    // What the wrapper exists for: the plain bar gives up position 1 when the maximum drops to 0.
    QScrollBar plain(Qt::Horizontal);
    plain.setRange(1, 1);
    plain.setValue(1);
    plain.setMaximum(0);
    QCOMPARE(plain.minimum(), 0);
    QCOMPARE(plain.value(), 0);

    QScrollBar widget(Qt::Horizontal);
    ScrollBar bar(&widget, 1, 1, 1);
    QSignalSpy spy(&bar, &ScrollBar::changed);
    bar.setMax(0);
    QCOMPARE(bar.value(), 1);
    QCOMPARE(bar.min(), 1);
    QCOMPARE(bar.max(), 0);
    QCOMPARE(spy.count(), 0);
}

void TestScrollBar::setMax_data()
{
    QTest::addColumn<int>("min");
    QTest::addColumn<int>("max");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("newMax");
    QTest::addColumn<int>("expected");

    QTest::addRow("1..1 at 1, max 0 keeps 1") << 1 << 1 << 1 << 0 << 1;
    QTest::addRow("1..1 at 1, max 300 keeps 1") << 1 << 1 << 1 << 300 << 1;
    QTest::addRow("same max") << 0 << 10 << 10 << 10 << 10;
    QTest::addRow("below the position") << 0 << 100 << 50 << 20 << 20;
    QTest::addRow("below the minimum, position outside") << 10 << 20 << 15 << 5 << 5;
    QTest::addRow("below the minimum, position at the minimum") << 10 << 20 << 10 << 5 << 10;
    QTest::addRow("reversed, position inside") << 10 << 0 << 5 << 3 << 5;
    QTest::addRow("reversed, position outside") << 10 << 0 << 2 << 3 << 3;
    QTest::addRow("reversed to forward, position below the minimum") << 10 << 0 << 5 << 30 << 10;
    QTest::addRow("1 to 0 at 0, max 5 starts at 1") << 1 << 0 << 0 << 5 << 1;
    QTest::addRow("negative") << -100 << 100 << 50 << -50 << -50;
    QTest::addRow("16-bit extremes") << 0 << 32767 << 32767 << -32768 << -32768;
}

void TestScrollBar::setMax()
{
    QFETCH(int, min);
    QFETCH(int, max);
    QFETCH(int, value);
    QFETCH(int, newMax);
    QFETCH(int, expected);

    QScrollBar widget(Qt::Horizontal);
    ScrollBar bar(&widget, qint16(min), qint16(max), qint16(value));
    const int before = bar.value();

    // Whoever listens must see the new position while setMax is still running.
    bool returned = false;
    QList<int> seen;
    QList<bool> seenAfterReturn;
    connect(&bar, &ScrollBar::changed, this, [&] {
        seen.append(bar.value());
        seenAfterReturn.append(returned);
    });
    bar.setMax(qint16(newMax));
    returned = true;
    QCoreApplication::processEvents();

    QCOMPARE(bar.max(), newMax);
    QCOMPARE(bar.min(), min);
    QCOMPARE(bar.value(), expected);
    if (expected == before) {
        QCOMPARE(seen, QList<int>());
    } else {
        QCOMPARE(seen, QList<int>{expected});
        QCOMPARE(seenAfterReturn, QList<bool>{false});
    }
    QVERIFY(inside(bar, bar.value()));
}

void TestScrollBar::setMin_data()
{
    QTest::addColumn<int>("min");
    QTest::addColumn<int>("max");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("newMin");

    QTest::addRow("above the position") << 0 << 100 << 50 << 60;
    QTest::addRow("below the position") << 10 << 100 << 50 << 0;
    QTest::addRow("above the maximum") << 0 << 10 << 5 << 20;
    QTest::addRow("reversed, position outside") << 10 << 0 << 8 << 5;
    QTest::addRow("16-bit extremes") << 0 << 0 << 0 << 32767;
}

void TestScrollBar::setMin()
{
    QFETCH(int, min);
    QFETCH(int, max);
    QFETCH(int, value);
    QFETCH(int, newMin);

    QScrollBar widget(Qt::Horizontal);
    ScrollBar bar(&widget, qint16(min), qint16(max), qint16(value));
    const int before = bar.value();
    QList<int> seen;
    connect(&bar, &ScrollBar::changed, this, [&] { seen.append(bar.value()); });
    bar.setMin(qint16(newMin));

    QCOMPARE(bar.min(), newMin);
    QCOMPARE(bar.max(), max);
    QVERIFY2(inside(bar, bar.value()), qPrintable(QString::number(bar.value())));
    QCOMPARE(seen, bar.value() == before ? QList<int>() : QList<int>{bar.value()});
}

void TestScrollBar::setValue_data()
{
    QTest::addColumn<int>("min");
    QTest::addColumn<int>("max");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("newValue");
    QTest::addColumn<int>("expected");

    QTest::addRow("inside") << 0 << 10 << 5 << 7 << 7;
    QTest::addRow("same") << 0 << 10 << 5 << 5 << 5;
    QTest::addRow("above") << 0 << 10 << 5 << 50 << 10;
    QTest::addRow("below") << 0 << 10 << 5 << -50 << 0;
    QTest::addRow("reversed, below both") << 10 << 0 << 5 << -5 << 0;
    QTest::addRow("reversed, inside") << 10 << 0 << 5 << 9 << 9;
    QTest::addRow("1 to 0, set 0") << 1 << 0 << 1 << 0 << 0;
}

void TestScrollBar::setValue()
{
    QFETCH(int, min);
    QFETCH(int, max);
    QFETCH(int, value);
    QFETCH(int, newValue);
    QFETCH(int, expected);

    QScrollBar widget(Qt::Horizontal);
    ScrollBar bar(&widget, qint16(min), qint16(max), qint16(value));
    const int before = bar.value();
    QList<int> seen;
    connect(&bar, &ScrollBar::changed, this, [&] { seen.append(bar.value()); });
    bar.setValue(qint16(newValue));

    QCOMPARE(bar.value(), expected);
    QCOMPARE(seen, expected == before ? QList<int>() : QList<int>{expected});
}

QTEST_MAIN(TestScrollBar)
#include "tst_scrollbar.moc"
