// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A probing scroll bar that tells what it was asked to do, the user actions on it, and a window to hold it.
#include "widgets/scrollbar.h"

#include <QApplication>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QStyleOptionSlider>
#include <QTest>
#include <QWidget>
#include <algorithm>

using orvik::ScrollBar;

namespace scrollbartest {

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

inline bool inside(const ScrollBar& s, int value)
{
    return value >= std::min(s.min(), s.max()) && value <= std::max(s.min(), s.max());
}

inline void perform(ProbeBar* bar, Action action)
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

inline void sendMove(QWidget* w, QPoint pos)
{
    QMouseEvent move(QEvent::MouseMove, QPointF(pos), w->mapToGlobal(QPointF(pos)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w, &move);
}

} // namespace scrollbartest
