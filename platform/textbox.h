// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPlainTextEdit>

namespace orvik {

// The multi-line log box. It stores paragraphs, so pasted CR LF, LF and CR all become
// line breaks, and text() reports them as "\r\n" the way the log is parsed.
// changed() runs after every change, by the user or by code.
class TextBox : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit TextBox(QWidget* parent);

    QString text() const;
    void setText(const QString& text);

signals:
    void changed();
};

} // namespace orvik
