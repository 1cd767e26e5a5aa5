// SPDX-License-Identifier: GPL-3.0-or-later
#include "logmarks.h"

#include "decoder/diagnose.h"
#include "decoder/recordtable.h"
#include "widgets/textbox.h"

#include <QHelpEvent>
#include <QStringList>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QToolTip>
#include <algorithm>

namespace orvik {

namespace {

// Orange that stands out at 3:1 or more against white, light grey and dark bases alike.
const QColor kMarkColour(0xE8, 0x59, 0x0C);

// A block's user state: the records up to and including it, twice, plus one when it carries
// marks. A new block's is -1, and it carries none.
int blockState(int records, bool marked) { return records * 2 + (marked ? 1 : 0); }
int recordsOf(int state) { return state < 0 ? 0 : state / 2; }
bool isMarked(int state) { return state >= 0 && state % 2 == 1; }

// An edit that adds more characters than this, and most of the document, is read from one copy.
constexpr int kCopyAllFrom = 1 << 16;

bool isBlankLine(std::u16string_view line)
{
    return line.find_first_not_of(u" \t") == std::u16string_view::npos;
}

} // namespace

LogMarks::LogMarks(TextBox* box)
    : QObject(box)
    , m_box(box)
{
    m_mark.setUnderlineStyle(QTextCharFormat::WaveUnderline);
    m_mark.setUnderlineColor(kMarkColour);
    connect(box->document(), &QTextDocument::contentsChange, this, &LogMarks::update);
    box->viewport()->installEventFilter(this);
    update(0, 0, box->document()->characterCount());
}

void LogMarks::update(int from, int /*charsRemoved*/, int charsAdded)
{
    QTextDocument* document = m_box->document();
    // The block before counts too: whether it is a whole line depends on the join after it.
    QTextBlock block = document->findBlock(from);
    if (block.previous().isValid())
        block = block.previous();
    QTextBlock last = document->findBlock(from + charsAdded);
    if (!last.isValid())
        last = document->lastBlock();
    // Reading a large paste block by block costs twice what one copy of the whole document does.
    const bool copyAll = charsAdded > kCopyAllFrom && charsAdded > document->characterCount() / 2;
    QString all;

    int records = block.previous().isValid() ? recordsOf(block.previous().userState()) : 0;
    int position = block.position();
    m_joinByFormat.clear();
    bool pastEdit = false;
    bool joined = continuesLine(block);
    // Past the edit, a block needs a look only while the count of records up to it changes.
    for (; block.isValid(); block = block.next()) {
        const int state = block.userState();
        const bool nextJoined = continuesLine(block.next());
        // Part of a line longer than a display block: no beacon line, and judging it whole
        // would mean reading all its blocks on every keystroke.
        const bool wholeLine = !joined && !nextJoined;
        joined = nextJoined;
        QString text;
        QStringView line;
        if (wholeLine && copyAll) {
            if (all.isNull())
                all = document->toRawText();
            line = QStringView(all).mid(position, block.length() - 1);
        } else if (wholeLine) {
            text = block.text();
            line = text;
        }
        records = markBlock(block, position, records, wholeLine ? &line : nullptr);
        if (pastEdit && state >= 0 && recordsOf(state) == records)
            break;
        if (block == last)
            pastEdit = true;
        position += block.length();
    }
}

int LogMarks::markBlock(const QTextBlock& block, int position, int recordsBefore, const QStringView* text)
{
    int records = recordsBefore;
    QList<QTextLayout::FormatRange> marks;
    if (text) {
        const std::u16string_view line(reinterpret_cast<const char16_t*>(text->utf16()),
                                       std::size_t(text->size()));
        if (!isBeaconLine(line)) {
            if (!isBlankLine(line) && looksLikeBeaconAttempt(line))
                marks.append({0, int(text->size()), m_mark});
        } else {
            records = std::min(records + 1, RecordTable::kMaxRecords + 1);
            if (records <= RecordTable::kMaxRecords && !fieldsAreHex(line)) {
                for (const LineProblem& problem : lineProblems(line)) {
                    if (problem.firstChannel >= 0)
                        marks.append({int(problem.position), int(problem.length), m_mark});
                }
            }
        }
    }

    setMarks(block, position, marks);
    QTextBlock(block).setUserState(blockState(records, !marks.isEmpty()));
    return records;
}

void LogMarks::setMarks(QTextBlock block, int position, const QList<QTextLayout::FormatRange>& marks)
{
    // Reaching for the layout of an unmarked block would make one for each block of a paste.
    if ((!marks.isEmpty() || isMarked(block.userState())) && block.layout()->formats() != marks) {
        block.layout()->setFormats(marks);
        m_box->document()->markContentsDirty(position, block.length());
    }
}

void LogMarks::showRecovered(const LogReport* report)
{
    QTextDocument* document = m_box->document();
    if (!report) {
        update(0, 0, document->characterCount());
        return;
    }
    m_joinByFormat.clear();
    auto attempt = report->attempts.begin();
    std::size_t line = 0;
    bool joined = false;
    for (QTextBlock block = document->firstBlock(); block.isValid(); block = block.next()) {
        const bool nextJoined = continuesLine(block.next());
        while (attempt != report->attempts.end() && *attempt < line)
            ++attempt;
        QList<QTextLayout::FormatRange> marks;
        if (!joined && !nextJoined && attempt != report->attempts.end() && *attempt == line)
            marks.append({0, block.length() - 1, m_mark});
        setMarks(block, block.position(), marks);
        block.setUserState(blockState(recordsOf(block.userState()), !marks.isEmpty()));
        line += nextJoined ? 0 : 1;
        joined = nextJoined;
    }
}

bool LogMarks::continuesLine(const QTextBlock& block)
{
    const int index = block.blockFormatIndex();
    if (index < 0)
        return false;
    if (std::size_t(index) >= m_joinByFormat.size())
        m_joinByFormat.resize(std::size_t(index) + 1, -1);
    signed char& known = m_joinByFormat[std::size_t(index)];
    if (known < 0)
        known = TextBox::continuesLine(block) ? 1 : 0;
    return known == 1;
}

int LogMarks::characterAt(QPoint viewportPoint) const
{
    // The nearest cursor position lies before or after the character under the point, if any.
    const int nearest = m_box->cursorForPosition(viewportPoint).position();
    for (const int at : {nearest - 1, nearest}) {
        const QTextBlock block = m_box->document()->findBlock(at);
        if (!block.isValid() || at >= block.position() + block.length() - 1)
            continue;
        const int column = at - block.position();
        const QTextLine line = block.layout()->lineForTextPosition(column);
        if (!line.isValid())
            continue;
        QTextCursor cursor(m_box->document());
        cursor.setPosition(at);
        const QRect caret = m_box->cursorRect(cursor);
        const QRectF glyph(caret.left(), caret.top(), line.cursorToX(column + 1) - line.cursorToX(column),
                           caret.height());
        if (glyph.contains(viewportPoint))
            return at;
    }
    return -1;
}

QString LogMarks::reasonsAt(QPoint viewportPoint) const
{
    const int at = characterAt(viewportPoint);
    if (at < 0)
        return {};
    const QTextBlock block = m_box->document()->findBlock(at);
    const int column = at - block.position();
    const QList<QTextLayout::FormatRange> formats = block.layout()->formats();
    if (std::none_of(formats.begin(), formats.end(), [&](const QTextLayout::FormatRange& range) {
            return range.format == m_mark && column >= range.start && column < range.start + range.length;
        }))
        return {};

    // Only whole lines carry marks, so the column is the line's. The line is read as decoded,
    // with every character as the user gave it.
    const TextBox::Lines log = m_box->lines();
    const std::u16string_view line = log.lines[std::size_t(m_box->lineOfPosition(at))];
    const bool wholeLine = !isBeaconLine(line);
    QStringList reasons;
    for (const LineProblem& problem : lineProblems(line)) {
        if (wholeLine || (std::size_t(column) >= problem.position &&
                          std::size_t(column) < problem.position + problem.length))
            reasons << QString::fromStdString(problem.reason);
    }
    return reasons.join(u'\n');
}

bool LogMarks::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::ToolTip || watched != m_box->viewport())
        return QObject::eventFilter(watched, event);
    const auto* help = static_cast<QHelpEvent*>(event);
    const QString reasons = reasonsAt(help->pos());
    if (reasons.isEmpty()) {
        QToolTip::hideText();
        return true;
    }
    // A quoted "<b>" in a reason must show as typed, not as markup.
    QToolTip::showText(help->globalPos(),
                       Qt::mightBeRichText(reasons) ? Qt::convertFromPlainText(reasons) : reasons,
                       m_box->viewport());
    return true;
}

} // namespace orvik
