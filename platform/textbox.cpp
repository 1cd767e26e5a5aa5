// SPDX-License-Identifier: GPL-3.0-or-later
#include "textbox.h"

namespace orvik {

TextBox::TextBox(QWidget* parent)
    : QPlainTextEdit(parent)
{
    connect(this, &QPlainTextEdit::textChanged, this, &TextBox::changed);
}

QString TextBox::text() const
{
    QString plain = toPlainText();
    plain.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    return plain;
}

void TextBox::setText(const QString& text) { setPlainText(text); }

} // namespace orvik
