// SPDX-License-Identifier: GPL-3.0-or-later
#include "textbox.h"

#include <QKeyEvent>
#include <QMimeData>
#include <QTextBlock>
#include <algorithm>
#include <cstring>
#include <vector>

namespace orvik {

namespace {

// Marks a display block that continues the line of the block before it.
constexpr int kJoinProperty = QTextFormat::UserProperty + 1;

// Characters that QTextCursor::insertText turns into a block break, and what holds their place.
constexpr char16_t kBreakingChars[] = {0x2029, 0xFDD0, 0xFDD1};
constexpr char16_t kFirstStandIn = 0xF8F0;

bool isJoin(const QTextBlock& block) { return block.blockFormat().boolProperty(kJoinProperty); }

// isJoin() for many blocks: nearly all share one format, so each format is looked at once.
class JoinTest {
public:
    bool operator()(const QTextBlock& block)
    {
        const int index = block.blockFormatIndex();
        if (index < 0)
            return false;
        if (std::size_t(index) >= m_known.size())
            m_known.resize(std::size_t(index) + 1, -1);
        if (m_known[std::size_t(index)] < 0)
            m_known[std::size_t(index)] = isJoin(block) ? 1 : 0;
        return m_known[std::size_t(index)] == 1;
    }

private:
    std::vector<signed char> m_known;
};

QString joinLines(const TextBox::Lines& log, QStringView lineBreak)
{
    qsizetype size = 0;
    for (const std::u16string_view line : log.lines)
        size += qsizetype(line.size()) + lineBreak.size();
    QString out;
    out.reserve(size);
    for (std::size_t i = 0; i < log.lines.size(); ++i) {
        if (i > 0)
            out += lineBreak;
        out += QStringView(log.lines[i].data(), qsizetype(log.lines[i].size()));
    }
    return out;
}

void setJoin(const QTextBlock& block, bool join)
{
    QTextBlockFormat format = block.blockFormat();
    if (join)
        format.setProperty(kJoinProperty, true);
    else
        format.clearProperty(kJoinProperty);
    QTextCursor(block).setBlockFormat(format);
}

char16_t standInFor(char16_t c)
{
    for (std::size_t i = 0; i < std::size(kBreakingChars); ++i) {
        if (c == kBreakingChars[i])
            return char16_t(kFirstStandIn + i);
    }
    return c;
}

// Text as the document must hold it: breaking characters replaced by their stand-ins, and
// lines longer than a display block cut by a block break whose offset is kept in joins.
struct DocumentText {
    QString text;
    std::vector<qsizetype> joins;
};

DocumentText documentText(QStringView text, qsizetype column)
{
    DocumentText out;
    out.text.reserve(text.size() + text.size() / TextBox::kDisplayLineLength + 1);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        // CR LF makes one block break, as LF alone does; kept whole, it would put the joins
        // after it one character too far.
        if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
            continue;
        if (c == u'\r' || c == u'\n') {
            column = 0;
        } else {
            if (column >= TextBox::kDisplayLineLength) {
                out.joins.push_back(out.text.size());
                out.text += QChar(QChar::ParagraphSeparator);
                column = 0;
            }
            ++column;
        }
        out.text += QChar(standInFor(c));
    }
    return out;
}

} // namespace

TextBox::TextBox(QWidget* parent)
    : QPlainTextEdit(parent)
{
    // Beacon lines break between their fields; display blocks keep the search for blanks short.
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    connect(this, &QPlainTextEdit::textChanged, this, &TextBox::changed);
}

TextBox::Lines TextBox::lines() const { return linesIn(0, document()->characterCount()); }

QString TextBox::text() const { return joinLines(lines(), u"\r\n"); }

TextBox::Lines TextBox::linesIn(int from, int to) const
{
    // One copy of the raw characters, then one pass over the blocks: copying block by block
    // costs far more. Joins are closed up in place, so a line is always one view.
    Lines out;
    out.characters = document()->toRawText();
    const qsizetype end = std::min<qsizetype>(to, out.characters.size());
    qsizetype read = std::clamp<qsizetype>(from, 0, end);
    QChar* const data = out.characters.data();
    const auto emitLine = [&](qsizetype start, qsizetype stop) {
        out.lines.emplace_back(reinterpret_cast<const char16_t*>(data + start), std::size_t(stop - start));
    };

    JoinTest isJoin;
    QTextBlock block = document()->findBlock(int(read));
    qsizetype separator = block.position() + block.length() - 1;
    qsizetype write = read;
    qsizetype lineStart = read;
    for (;;) {
        const qsizetype stop = std::min(separator, end);
        if (write != read)
            std::memmove(data + write, data + read, std::size_t(stop - read) * sizeof(QChar));
        write += stop - read;
        read = stop;
        if (stop == end)
            break;
        block = block.next();
        ++read;
        if (!isJoin(block)) {
            emitLine(lineStart, write);
            data[write++] = QChar(QChar::ParagraphSeparator);
            lineStart = write;
        }
        separator = read + block.length() - 1;
    }
    emitLine(lineStart, write);

    if (m_mayHoldStandIns) {
        for (QChar* ch = data + std::clamp<qsizetype>(from, 0, end); ch != data + write; ++ch) {
            const char16_t c = ch->unicode();
            if (c >= kFirstStandIn && c < kFirstStandIn + std::size(kBreakingChars))
                *ch = QChar(kBreakingChars[c - kFirstStandIn]);
        }
    }
    return out;
}

void TextBox::insertLogText(QTextCursor& cursor, const QString& text)
{
    const int start = cursor.selectionStart();
    const DocumentText prepared = documentText(text, start - document()->findBlock(start).position());
    if (std::any_of(text.begin(), text.end(), [](QChar c) { return standInFor(c.unicode()) != c.unicode(); }))
        m_mayHoldStandIns = true;

    cursor.beginEditBlock();
    cursor.insertText(prepared.text);
    // New blocks take the format of the block they split: only the joins keep the mark.
    const qsizetype end = start + prepared.text.size();
    auto join = prepared.joins.begin();
    for (QTextBlock block = document()->findBlock(start).next(); block.isValid() && block.position() <= end;
         block = block.next()) {
        const qsizetype separator = block.position() - 1 - start;
        while (join != prepared.joins.end() && *join < separator)
            ++join;
        const bool joined = join != prepared.joins.end() && *join == separator;
        if (isJoin(block) != joined)
            setJoin(block, joined);
    }
    cursor.endEditBlock();
}

void TextBox::setText(const QString& text)
{
    // Replacing the whole text is no step to undo, and neither are its display joins.
    document()->setUndoRedoEnabled(false);
    m_mayHoldStandIns = false;
    QTextCursor cursor(document());
    cursor.select(QTextCursor::Document);
    insertLogText(cursor, text);
    document()->setUndoRedoEnabled(true);
}

int TextBox::lineOfPosition(int documentPosition) const
{
    const int last = document()->characterCount() - 1;
    const QTextBlock target = document()->findBlock(std::clamp(documentPosition, 0, last));
    JoinTest isJoin;
    int line = 0;
    for (QTextBlock block = document()->firstBlock().next();
         block.isValid() && block.position() <= target.position(); block = block.next()) {
        if (!isJoin(block))
            ++line;
    }
    return line;
}

void TextBox::selectLine(int line)
{
    if (line < 0)
        return;
    JoinTest isJoin;
    QTextBlock first = document()->firstBlock();
    for (int at = 0; at < line && first.isValid();) {
        first = first.next();
        if (first.isValid() && !isJoin(first))
            ++at;
    }
    if (!first.isValid())
        return;
    QTextBlock last = first;
    while (last.next().isValid() && isJoin(last.next()))
        last = last.next();

    const int start = first.position();
    const int end = last.position() + last.length() - 1;
    QTextCursor cursor(document());
    // Showing the end first and then the start leaves both in view whenever they fit.
    cursor.setPosition(start);
    cursor.setPosition(end, QTextCursor::KeepAnchor);
    setTextCursor(cursor);
    ensureCursorVisible();
    cursor.setPosition(end);
    cursor.setPosition(start, QTextCursor::KeepAnchor);
    setTextCursor(cursor);
    ensureCursorVisible();
}

bool TextBox::continuesLine(const QTextBlock& block) { return isJoin(block); }

bool TextBox::canInsertFromMimeData(const QMimeData* source) const
{
    return !droppedFiles(source).isEmpty() || QPlainTextEdit::canInsertFromMimeData(source);
}

void TextBox::insertFromMimeData(const QMimeData* source)
{
    const QStringList files = droppedFiles(source);
    if (!files.isEmpty()) {
        // After the drop's own edit of the document is over, which the files replace.
        QMetaObject::invokeMethod(
            this, [this, files] { emit filesDropped(files); }, Qt::QueuedConnection);
        return;
    }
    if (isReadOnly() || !source || !source->hasText()) {
        QPlainTextEdit::insertFromMimeData(source);
        return;
    }
    QTextCursor cursor = textCursor();
    insertLogText(cursor, source->text());
    setTextCursor(cursor);
    ensureCursorVisible();
}

QStringList droppedFiles(const QMimeData* data)
{
    QStringList files;
    if (!data || !data->hasUrls())
        return files;
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile())
            return {};
        files << url.toLocalFile();
    }
    return files;
}

QMimeData* TextBox::createMimeDataFromSelection() const
{
    const QTextCursor cursor = textCursor();
    auto* data = new QMimeData;
    data->setText(joinLines(linesIn(cursor.selectionStart(), cursor.selectionEnd()), u"\n"));
    return data;
}

void TextBox::keyPressEvent(QKeyEvent* event)
{
    if (isReadOnly()) {
        QPlainTextEdit::keyPressEvent(event);
        return;
    }
    const int key = event->key();
    QTextCursor cursor = textCursor();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        // Shift+Enter too breaks the line: a line separator would only look like a break.
        QTextBlockFormat format = cursor.blockFormat();
        format.clearProperty(kJoinProperty);
        cursor.insertBlock(format);
        setTextCursor(cursor);
        ensureCursorVisible();
        event->accept();
        return;
    }
    // A join is no character: deleting across one deletes the character beyond it.
    if (!cursor.hasSelection() && event->modifiers() == Qt::NoModifier) {
        if (key == Qt::Key_Backspace) {
            while (cursor.atBlockStart() && isJoin(cursor.block()))
                cursor.setPosition(cursor.position() - 1);
        } else if (key == Qt::Key_Delete) {
            while (cursor.atBlockEnd() && isJoin(cursor.block().next()))
                cursor.setPosition(cursor.position() + 1);
        }
        setTextCursor(cursor);
    }
    QPlainTextEdit::keyPressEvent(event);
}

} // namespace orvik
