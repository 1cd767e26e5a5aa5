// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLabel>

namespace orvik {

// A one-line status label for messages of any length. It shows a long message elided in the
// middle, so that the end of "... could not be written: <reason>" stays in view, and keeps
// the whole message in text(), its tooltip and its accessible name and description. Every
// new message is announced to assistive technology.
class StatusLabel : public QLabel {
    Q_OBJECT
public:
    explicit StatusLabel(QWidget* parent);

    // details, when given, is the whole account for the tooltip and screen readers.
    void setMessage(const QString& message, const QString& details = QString());
    // The message as it fits the label: elided in the middle, between words, when it is too long.
    QString shownText() const;

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace orvik
