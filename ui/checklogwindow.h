// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "decoder/recordtable.h"
#include "widgets/textbox.h"

#include <QWidget>

class QListWidget;
class QListWidgetItem;

namespace orvik {

// "Check Log": every line of the log that was not decoded and every record with doubtful
// fields, one entry each, with the line number as users count it and the reasons. Beacon
// lines past the table's last row make one entry. Activating an entry (Enter, double click)
// hands on its line.
class CheckLogWindow : public QWidget {
    Q_OBJECT
public:
    // Entries listed at most; one more tells how many are not.
    static constexpr int kMaxEntries = 1000;

    explicit CheckLogWindow(QWidget* parent = nullptr);

    // The log as decoded and the decode's report of it.
    void setLog(const TextBox::Lines& log, const LogReport& report);

signals:
    // The line of the activated entry, counted from 0.
    void lineActivated(int line);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void activate(QListWidgetItem* item);

    QListWidget* m_list = nullptr;
};

} // namespace orvik
