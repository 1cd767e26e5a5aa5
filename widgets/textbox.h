// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPlainTextEdit>
#include <QStringList>
#include <string_view>
#include <vector>

class QTextBlock;

namespace orvik {

// The multi-line log box. It keeps every character the user pasted or typed, exactly:
// text() reports the document's raw characters, and only the box's own line breaks, however
// they came in (CR LF, LF, CR or Enter), become "\r\n".
//
// Qt turns U+2029, U+FDD0 and U+FDD1 into line breaks on insertion, so they are stored as
// private-use stand-ins and given back as themselves. A line longer than kDisplayLineLength
// is held in display blocks of that length: laying out one long block costs time in its
// length on every keystroke, and these joins are no line breaks of the text.
// changed() runs once after every change, by the user or by code.
// The local files that dropped or pasted data names, none when it names anything else.
QStringList droppedFiles(const QMimeData* data);

class TextBox : public QPlainTextEdit {
    Q_OBJECT
public:
    static constexpr qsizetype kDisplayLineLength = 4096;

    // The log split into its lines: views into one copy of the document's characters.
    struct Lines {
        QString characters;
        std::vector<std::u16string_view> lines;
    };

    explicit TextBox(QWidget* parent);

    Lines lines() const;
    QString text() const;
    void setText(const QString& text);

    // The line of lines() that holds a position of the document; positions outside count as
    // the nearest end.
    int lineOfPosition(int documentPosition) const;
    // Selects line `line` of lines() whole and scrolls to it; the focus stays where it is. A
    // line past the last selects nothing.
    void selectLine(int line);
    // True when the display block carries on the line of the block before it.
    static bool continuesLine(const QTextBlock& block);

signals:
    void changed();
    // Files were dropped or pasted: they are not text to insert, the window opens them.
    void filesDropped(const QStringList& paths);

protected:
    bool canInsertFromMimeData(const QMimeData* source) const override;
    void insertFromMimeData(const QMimeData* source) override;
    QMimeData* createMimeDataFromSelection() const override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    Lines linesIn(int from, int to) const;
    void insertLogText(QTextCursor& cursor, const QString& text);

    // Set once a stand-in went in, so that text() looks for them only then.
    bool m_mayHoldStandIns = false;
};

} // namespace orvik
