// SPDX-License-Identifier: GPL-3.0-or-later
// The record bar as the user works it: arrows, page and thumb, keys and drags, never outside its range.
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

class TestScrollBarUser : public QObject {
    Q_OBJECT
private slots:
    void thumbSide_data();
    void thumbSide();
    void userMoves_data();
    void userMoves();
    void userCannotLeaveRange_data();
    void userCannotLeaveRange();
    void dragReportsOnlyOnRelease_data();
    void dragReportsOnlyOnRelease();
};

void TestScrollBarUser::thumbSide_data()
{
    QTest::addColumn<int>("min");
    QTest::addColumn<int>("max");
    QTest::addColumn<int>("value");
    QTest::addColumn<bool>("left");

    QTest::addRow("forward, at min") << 0 << 100 << 0 << true;
    QTest::addRow("forward, at max") << 0 << 100 << 100 << false;
    QTest::addRow("reversed, at min") << 100 << 0 << 100 << true;
    QTest::addRow("reversed, at max") << 100 << 0 << 0 << false;
    QTest::addRow("negative reversed, at min") << -100 << -200 << -100 << true;
}

void TestScrollBarUser::thumbSide()
{
    QFETCH(int, min);
    QFETCH(int, max);
    QFETCH(int, value);
    QFETCH(bool, left);

    // The minimum is always drawn at the left end, the maximum at the right end.
    Window w;
    ScrollBar bar(w.bar, qint16(min), qint16(max), qint16(value));
    QVERIFY(w.showFocused());
    const int centre = w.bar->thumbRect().center().x();
    if (left)
        QVERIFY2(centre < w.bar->width() / 4, qPrintable(QString::number(centre)));
    else
        QVERIFY2(centre > w.bar->width() * 3 / 4, qPrintable(QString::number(centre)));
}

void TestScrollBarUser::userMoves_data()
{
    QTest::addColumn<int>("min");
    QTest::addColumn<int>("max");
    QTest::addColumn<Action>("action");
    QTest::addColumn<int>("expected");

    // Starting at 50, single step 1, page step 10. The right end is the maximum, so the same
    // gesture moves a reversed bar the other way in value but the same way on screen.
    QTest::addRow("forward, right arrow") << 0 << 100 << Action::RightArrow << 51;
    QTest::addRow("forward, left arrow") << 0 << 100 << Action::LeftArrow << 49;
    QTest::addRow("forward, page right") << 0 << 100 << Action::PageRight << 60;
    QTest::addRow("forward, page left") << 0 << 100 << Action::PageLeft << 40;
    QTest::addRow("forward, key right") << 0 << 100 << Action::KeyRight << 51;
    QTest::addRow("forward, key left") << 0 << 100 << Action::KeyLeft << 49;
    QTest::addRow("forward, key page up") << 0 << 100 << Action::KeyPageUp << 60;
    QTest::addRow("forward, key home") << 0 << 100 << Action::KeyHome << 0;
    QTest::addRow("forward, key end") << 0 << 100 << Action::KeyEnd << 100;
    QTest::addRow("reversed, right arrow") << 100 << 0 << Action::RightArrow << 49;
    QTest::addRow("reversed, left arrow") << 100 << 0 << Action::LeftArrow << 51;
    QTest::addRow("reversed, page right") << 100 << 0 << Action::PageRight << 40;
    QTest::addRow("reversed, page left") << 100 << 0 << Action::PageLeft << 60;
    QTest::addRow("reversed, key right") << 100 << 0 << Action::KeyRight << 49;
    QTest::addRow("reversed, key left") << 100 << 0 << Action::KeyLeft << 51;
    QTest::addRow("reversed, key page up") << 100 << 0 << Action::KeyPageUp << 40;
    QTest::addRow("reversed, key home") << 100 << 0 << Action::KeyHome << 100;
    QTest::addRow("reversed, key end") << 100 << 0 << Action::KeyEnd << 0;
    QTest::addRow("negative, right arrow") << -200 << -100 << Action::RightArrow << -149;
}

void TestScrollBarUser::userMoves()
{
    QFETCH(int, min);
    QFETCH(int, max);
    QFETCH(Action, action);
    QFETCH(int, expected);

    Window w;
    ScrollBar bar(w.bar, qint16(min), qint16(max), qint16((min + max) / 2));
    QVERIFY(w.showFocused());
    QList<int> seen;
    connect(&bar, &ScrollBar::changed, this, [&] { seen.append(bar.value()); });

    perform(w.bar, action);

    QCOMPARE(bar.value(), expected);
    QCOMPARE(seen, QList<int>{expected});
}

void TestScrollBarUser::userCannotLeaveRange_data()
{
    QTest::addColumn<int>("min");
    QTest::addColumn<int>("max");
    QTest::addColumn<int>("value");

    QTest::addRow("window start 1 to 1") << 1 << 1 << 1;
    QTest::addRow("1 to 0 at 1") << 1 << 0 << 1;
    QTest::addRow("1 to 0 at 0") << 1 << 0 << 0;
    QTest::addRow("1 to 2 at 2") << 1 << 2 << 2;
    QTest::addRow("16-bit top") << 32760 << 32767 << 32767;
    QTest::addRow("16-bit bottom reversed") << -32760 << -32768 << -32768;
}

void TestScrollBarUser::userCannotLeaveRange()
{
    QFETCH(int, min);
    QFETCH(int, max);
    QFETCH(int, value);

    Window w;
    ScrollBar bar(w.bar, qint16(min), qint16(max), qint16(value));
    QVERIFY(w.showFocused());
    int previous = bar.value();
    int changes = 0;
    bool moved = false;
    connect(&bar, &ScrollBar::changed, this, [&] {
        ++changes;
        moved = bar.value() != previous;
        previous = bar.value();
    });

    const Action all[] = {Action::RightArrow, Action::RightArrow, Action::PageRight, Action::KeyRight,
                          Action::KeyEnd,     Action::KeyPageUp,  Action::LeftArrow, Action::LeftArrow,
                          Action::PageLeft,   Action::KeyLeft,    Action::KeyHome,   Action::KeyLeft};
    for (Action a : all) {
        const int before = changes;
        perform(w.bar, a);
        QVERIFY2(inside(bar, bar.value()), qPrintable(QString::number(bar.value())));
        if (changes != before)
            QVERIFY(moved);
    }
}

void TestScrollBarUser::dragReportsOnlyOnRelease_data()
{
    QTest::addColumn<int>("min");
    QTest::addColumn<int>("max");
    QTest::addColumn<int>("direction");

    QTest::addRow("forward, drag right") << 0 << 100 << 1;
    QTest::addRow("forward, drag left") << 0 << 100 << -1;
    QTest::addRow("reversed, drag right") << 100 << 0 << 1;
}

void TestScrollBarUser::dragReportsOnlyOnRelease()
{
    QFETCH(int, min);
    QFETCH(int, max);
    QFETCH(int, direction);

    Window w;
    const int start = (min + max) / 2;
    ScrollBar bar(w.bar, qint16(min), qint16(max), qint16(start));
    QVERIFY(w.showFocused());
    QList<int> seen;
    connect(&bar, &ScrollBar::changed, this, [&] { seen.append(bar.value()); });

    const QPoint grab = w.bar->thumbRect().center();
    QTest::mousePress(w.bar, Qt::LeftButton, {}, grab);
    QVERIFY(w.bar->isSliderDown());
    const int startPosition = w.bar->sliderPosition();
    const QPoint to = grab + QPoint(direction * 40, 0);
    sendMove(w.bar, grab + QPoint(direction * 20, 0));
    sendMove(w.bar, to);
    QCoreApplication::processEvents();

    // The thumb has moved on screen, yet nothing is reported while the button is held.
    QVERIFY(w.bar->sliderPosition() != startPosition);
    QCOMPARE(seen, QList<int>());
    QCOMPARE(bar.value(), start);

    QTest::mouseRelease(w.bar, Qt::LeftButton, {}, to);
    QCOMPARE(seen.size(), 1);
    QCOMPARE(seen.first(), bar.value());
    QVERIFY(inside(bar, bar.value()));
    // Dragging right goes towards the maximum, whichever way the range runs.
    const int towardsMax = (max > min ? 1 : -1) * direction;
    QVERIFY2((bar.value() - start) * towardsMax > 0, qPrintable(QString::number(bar.value())));
}

QTEST_MAIN(TestScrollBarUser)
#include "tst_scrollbaruser.moc"
