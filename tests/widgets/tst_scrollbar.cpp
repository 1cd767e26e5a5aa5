// SPDX-License-Identifier: GPL-3.0-or-later
// The record scroll bar: 16-bit ends that may be reversed, a position that stays inside
// them, and changed() after code and user moves but not while the thumb is dragged.
#include "widgets/scrollbar.h"

#include <QApplication>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QStyleOptionSlider>
#include <QTest>
#include <QWidget>
#include <algorithm>

using orvik::ScrollBar;

namespace {

// Exposes where the style puts the thumb, so drags start on it and its side can be checked.
class ProbeBar : public QScrollBar {
public:
    using QScrollBar::QScrollBar;

    QRect thumbRect() const
    {
        QStyleOptionSlider option;
        initStyleOption(&option);
        return style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, this);
    }
};

enum class Action {
    LeftArrow,
    RightArrow,
    PageLeft,
    PageRight,
    KeyLeft,
    KeyRight,
    KeyPageUp,
    KeyHome,
    KeyEnd,
};

// A window with one horizontal bar that has keyboard focus.
struct Window {
    QWidget window;
    ProbeBar* bar;

    Window()
        : bar(new ProbeBar(Qt::Horizontal, &window))
    {
        window.resize(240, 40);
        bar->setGeometry(10, 10, 220, 17);
        bar->setSingleStep(1);
        bar->setPageStep(10);
        bar->setFocusPolicy(Qt::StrongFocus);
    }

    bool showFocused()
    {
        window.show();
        if (!QTest::qWaitForWindowExposed(&window))
            return false;
        window.activateWindow();
        bar->setFocus();
        return QTest::qWaitForWindowActive(&window) && bar->hasFocus();
    }
};

bool inside(const ScrollBar& s, int value)
{
    return value >= std::min(s.min(), s.max()) && value <= std::max(s.min(), s.max());
}

void perform(ProbeBar* bar, Action action)
{
    const int y = bar->height() / 2;
    // Page clicks land between the thumb and an arrow; the tests start with a centred thumb.
    switch (action) {
    case Action::LeftArrow: QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(3, y)); break;
    case Action::RightArrow: QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(bar->width() - 4, y)); break;
    case Action::PageLeft:
        QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(bar->thumbRect().left() / 2 + 8, y));
        break;
    case Action::PageRight:
        QTest::mouseClick(bar, Qt::LeftButton, {},
                          QPoint((bar->thumbRect().right() + bar->width()) / 2 - 8, y));
        break;
    // A null widget sends the key to whichever widget has the focus.
    case Action::KeyLeft: QTest::keyClick(static_cast<QWidget*>(nullptr), Qt::Key_Left); break;
    case Action::KeyRight: QTest::keyClick(static_cast<QWidget*>(nullptr), Qt::Key_Right); break;
    case Action::KeyPageUp: QTest::keyClick(static_cast<QWidget*>(nullptr), Qt::Key_PageUp); break;
    case Action::KeyHome: QTest::keyClick(static_cast<QWidget*>(nullptr), Qt::Key_Home); break;
    case Action::KeyEnd: QTest::keyClick(static_cast<QWidget*>(nullptr), Qt::Key_End); break;
    }
}

void sendMove(QWidget* w, QPoint pos)
{
    QMouseEvent move(QEvent::MouseMove, QPointF(pos), w->mapToGlobal(QPointF(pos)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w, &move);
}

} // namespace

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
    void thumbSide_data();
    void thumbSide();
    void userMoves_data();
    void userMoves();
    void userCannotLeaveRange_data();
    void userCannotLeaveRange();
    void dragReportsOnlyOnRelease_data();
    void dragReportsOnlyOnRelease();
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

void TestScrollBar::thumbSide_data()
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

void TestScrollBar::thumbSide()
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

void TestScrollBar::userMoves_data()
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

void TestScrollBar::userMoves()
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

void TestScrollBar::userCannotLeaveRange_data()
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

void TestScrollBar::userCannotLeaveRange()
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

void TestScrollBar::dragReportsOnlyOnRelease_data()
{
    QTest::addColumn<int>("min");
    QTest::addColumn<int>("max");
    QTest::addColumn<int>("direction");

    QTest::addRow("forward, drag right") << 0 << 100 << 1;
    QTest::addRow("forward, drag left") << 0 << 100 << -1;
    QTest::addRow("reversed, drag right") << 100 << 0 << 1;
}

void TestScrollBar::dragReportsOnlyOnRelease()
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

QTEST_MAIN(TestScrollBar)
#include "tst_scrollbar.moc"
