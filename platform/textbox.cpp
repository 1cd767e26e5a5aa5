// SPDX-License-Identifier: GPL-3.0-or-later
#include "textbox.h"

namespace orvik {

TextBox::TextBox(QWidget* parent)
    : QPlainTextEdit(parent)
{
    // Breaking only at word boundaries takes seconds to lay out one long pasted line.
    setWordWrapMode(QTextOption::WrapAnywhere);
    connect(this, &QPlainTextEdit::textChanged, this, &TextBox::changed);
}

QString TextBox::text() const
{
    // One pass into a buffer of the final size: QString::replace took 84 ms on a 12 MB log.
    const QString plain = toPlainText();
    const qsizetype breaks = plain.count(QLatin1Char('\n'));
    if (breaks == 0)
        return plain;
    QString out(plain.size() + breaks, Qt::Uninitialized);
    QChar* o = out.data();
    for (const QChar c : plain) {
        if (c == QLatin1Char('\n'))
            *o++ = QLatin1Char('\r');
        *o++ = c;
    }
    return out;
}

void TextBox::setText(const QString& text) { setPlainText(text); }

} // namespace orvik
