// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextLayout>
#include <vector>

namespace orvik {

class TextBox;
struct LogReport;

// Marks in the log box what a decode cannot use: under the whole line, a line that looks
// like a beacon line but is none; under the field, each field of a record that holds other
// characters than hexadecimal digits. Records past the table's last row get no mark. A line
// longer than a display block is never a beacon line and gets no mark either. Hovering over
// a mark shows the reasons, one to a line.
//
// Only the blocks an edit touched are looked at again, and those after them while the count
// of records up to them changes. Unlike QSyntaxHighlighter, a block without marks costs
// nothing per character, which keeps pasting megabytes as fast as without marks. Under
// recovery a copy far down can change what an early line became, so every block is looked at
// after each decode.
class LogMarks : public QObject {
    Q_OBJECT
public:
    explicit LogMarks(TextBox* box);

    // The reasons of the mark under a point of the box's viewport; empty where no mark is.
    QString reasonsAt(QPoint viewportPoint) const;
    // After a decode through the recovery: a line is marked when no record took it and it looks
    // like a beacon heard wrong, and no field is, as a value in doubt is left out. Null goes
    // back to the marks of each line as it stands.
    void showRecovered(const LogReport* report);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void update(int from, int charsRemoved, int charsAdded);
    // text: the block's characters when it holds a whole line, else null.
    int markBlock(const QTextBlock& block, int position, int recordsBefore, const QStringView* text);
    bool continuesLine(const QTextBlock& block);
    int characterAt(QPoint viewportPoint) const;

    void setMarks(QTextBlock block, int position, const QList<QTextLayout::FormatRange>& marks);

    TextBox* m_box;
    QTextCharFormat m_mark;
    // Whether each block format seen in this update is a join: a paste has few formats but
    // many blocks, and reading a block's format makes a copy of it.
    std::vector<signed char> m_joinByFormat;
};

} // namespace orvik
