// SPDX-License-Identifier: GPL-3.0-or-later
#include "optionbutton.h"

#include <QApplication>
#include <QPointer>
#include <QProxyStyle>

namespace orvik {

namespace {

// The layout gives a caption 97 pixels beside its button; the default 14-pixel mark and
// 6-pixel gap would leave too little room for "Camera Counter".
class CompactOptionStyle : public QProxyStyle {
public:
    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override
    {
        switch (metric) {
        case PM_ExclusiveIndicatorWidth:
        case PM_ExclusiveIndicatorHeight: return 13;
        case PM_RadioButtonLabelSpacing: return 3;
        default: return QProxyStyle::pixelMetric(metric, option, widget);
        }
    }
};

QStyle* compactOptionStyle()
{
    static QPointer<QStyle> style;
    if (!style) {
        style = new CompactOptionStyle;
        style->setParent(qApp);
    }
    return style;
}

} // namespace

OptionButton::OptionButton(int index, QWidget* parent)
    : QRadioButton(parent)
    , m_index(index)
{
    setStyle(compactOptionStyle());
    connect(this, &QAbstractButton::toggled, this, [this](bool on) {
        if (on)
            emit clickedIndex(m_index);
    });
}

void OptionButton::setValue(bool selected)
{
    if (selected) {
        setChecked(true);
        return;
    }
    if (!isChecked())
        return;
    // An auto-exclusive button refuses to be cleared while it is the checked one.
    setAutoExclusive(false);
    setChecked(false);
    setAutoExclusive(true);
}

} // namespace orvik
