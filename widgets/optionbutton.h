// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QRadioButton>

namespace orvik {

// An option button of a control array. Selection is exclusive within its container only.
// Selecting it, by the user or from code, raises clickedIndex(index) at once, where
// QAbstractButton raises clicked() for the user only. Clearing it raises nothing.
class OptionButton : public QRadioButton {
    Q_OBJECT
public:
    OptionButton(int index, QWidget* parent);

    int index() const { return m_index; }
    bool value() const { return isChecked(); }
    void setValue(bool selected);

signals:
    void clickedIndex(int index);

private:
    int m_index;
};

} // namespace orvik
