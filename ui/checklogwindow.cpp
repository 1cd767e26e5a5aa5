// SPDX-License-Identifier: GPL-3.0-or-later
#include "checklogwindow.h"

#include "decoder/channels.h"
#include "decoder/diagnose.h"
#include "look.h"

#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace orvik {

namespace {

// Set on entries that stand for a line of the log.
constexpr int kLineRole = Qt::UserRole;

struct Entry {
    QString text;
    int line = -1;
};

QString lineLabel(std::size_t line) { return QStringLiteral("Line %1").arg(line + 1); }

QString reasonsOf(const std::vector<LineProblem>& problems)
{
    QStringList reasons;
    for (const LineProblem& problem : problems)
        reasons << QString::fromStdString(problem.reason);
    return reasons.join(QStringLiteral("; "));
}

// Reasons for a line that is no beacon line. Past a display block only the line's first
// characters are read: a pasted megabyte must not hold up each edit.
QString notDecodedText(std::u16string_view line)
{
    if (!looksLikeBeaconAttempt(line))
        return QStringLiteral("no beacon line");
    std::uint64_t blanks = 0;
    while (blanks < line.size() &&
           (line[line.size() - 1 - blanks] == u' ' || line[line.size() - 1 - blanks] == u'\t'))
        ++blanks;
    const LineShape shape{line.substr(0, std::size_t(TextBox::kDisplayLineLength)), line.size(), blanks};
    return reasonsOf(lineProblems(shape));
}

QString leftOutText(const LogReport& report)
{
    if (report.recovered)
        return QStringLiteral("%1: %2 more record%3 from this line on left out, at most %4 records are kept; "
                              "orvik-tlm decodes them all")
            .arg(lineLabel(report.firstLeftOut))
            .arg(report.leftOut)
            .arg(QLatin1String(report.leftOut == 1 ? "" : "s"))
            .arg(RecordTable::kMaxRecords);
    if (report.leftOut == 1)
        return QStringLiteral(
                   "%1: 1 beacon line left out, at most %2 records are kept; orvik-tlm decodes them all")
            .arg(lineLabel(report.firstLeftOut))
            .arg(RecordTable::kMaxRecords);
    return QStringLiteral("%1 beacon lines from line %2 on left out, at most %3 records are kept; "
                          "orvik-tlm decodes them all")
        .arg(report.leftOut)
        .arg(report.firstLeftOut + 1)
        .arg(RecordTable::kMaxRecords);
}

// What the recovery did for record `record` (from 0): the lines merged into it, and each
// value it left out with the reason; empty when it is one line with every value.
QString recoveredText(const LogReport& report, std::size_t record)
{
    QStringList parts;
    const std::vector<CopySource>& copies = report.recordCopies[record];
    QStringList merged;
    for (std::size_t i = 1; i < copies.size(); ++i)
        merged << QString::number(copies[i].line);
    if (!merged.isEmpty())
        parts << QStringLiteral("merged with line%1 %2")
                     .arg(QLatin1String(merged.size() == 1 ? "" : "s"), merged.join(QStringLiteral(", ")));
    QStringList missing;
    for (int c = 0; c < kChannelCount; ++c) {
        const LeftOut why = report.missing[record][std::size_t(c)];
        if (why != LeftOut::No)
            missing << toQString(kChannels[std::size_t(c)].caption) + QStringLiteral(" (") +
                           toQString(orvik::leftOutText(why)) + u')';
    }
    if (!missing.isEmpty())
        parts << QStringLiteral("left out ") + missing.join(QStringLiteral(", "));
    if (parts.isEmpty())
        return {};
    return QStringLiteral("%1, record %2: %3")
        .arg(lineLabel(copies.front().line - 1), QString::number(record + 1),
             parts.join(QStringLiteral("; ")));
}

// Under recovery, the records merged from several lines or with values left out, in the
// order of their first lines.
std::vector<Entry> recoveredEntries(const LogReport& report)
{
    std::vector<Entry> out;
    for (std::size_t r = 0;
         r < report.recordCopies.size() && out.size() < std::size_t(CheckLogWindow::kMaxEntries); ++r) {
        const QString text = recoveredText(report, r);
        if (!text.isEmpty())
            out.push_back({text, int(report.recordLines[r])});
    }
    return out;
}

// The entries: beacon lines left out first, as they concern the whole log, then lines not
// decoded and records with doubtful fields in line order. Reasons are worked out only for
// the entries that are listed.
std::vector<Entry> entriesFor(const TextBox::Lines& log, const LogReport& report)
{
    std::vector<Entry> out;
    if (report.leftOut > 0)
        out.push_back({leftOutText(report), int(report.firstLeftOut)});

    auto notDecoded = report.notDecoded.begin();
    auto doubtful = report.doubtful.begin();
    auto record = report.recordLines.begin();
    std::size_t listed = 0;
    while (listed < std::size_t(CheckLogWindow::kMaxEntries) &&
           (notDecoded != report.notDecoded.end() || doubtful != report.doubtful.end())) {
        ++listed;
        const bool takeDoubtful = notDecoded == report.notDecoded.end() ||
                                  (doubtful != report.doubtful.end() && *doubtful < *notDecoded);
        const std::size_t line = takeDoubtful ? *doubtful++ : *notDecoded++;
        if (line >= log.lines.size())
            continue;
        const std::u16string_view text = log.lines[line];
        if (!takeDoubtful) {
            out.push_back({lineLabel(line) + QStringLiteral(": ") + notDecodedText(text), int(line)});
            continue;
        }
        record = std::lower_bound(record, report.recordLines.end(), line);
        const auto number = record - report.recordLines.begin() + 1;
        out.push_back({QStringLiteral("%1, record %2: %3")
                           .arg(lineLabel(line), QString::number(number), reasonsOf(lineProblems(text))),
                       int(line)});
    }

    // Under recovery no line is in doubt: what the recovery did is told by record instead.
    if (report.recovered) {
        const std::vector<Entry> records = recoveredEntries(report);
        const std::ptrdiff_t lines = std::ptrdiff_t(out.size());
        out.insert(out.end(), records.begin(), records.end());
        std::inplace_merge(out.begin() + (report.leftOut > 0 ? 1 : 0), out.begin() + lines, out.end(),
                           [](const Entry& a, const Entry& b) { return a.line < b.line; });
    }
    const std::size_t unlisted = report.notDecoded.size() + report.doubtful.size() - listed;
    if (unlisted > 0)
        out.push_back({QStringLiteral("%1 more %2 not listed")
                           .arg(unlisted)
                           .arg(QLatin1String(unlisted == 1 ? "line" : "lines"))});
    if (out.empty())
        out.push_back({report.lines == 0 ? QStringLiteral("The log is empty")
                                         : QStringLiteral("Every line was decoded")});
    return out;
}

} // namespace

CheckLogWindow::CheckLogWindow(QWidget* parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("CheckLog"));
    setWindowTitle(QStringLiteral("Check Log"));
    resize(640, 320);

    auto* hint = new QLabel(
        QStringLiteral("Double-click an entry or press Enter to select its line in the log."), this);
    hint->setObjectName(QStringLiteral("CheckLogHint"));
    hint->setWordWrap(true);

    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("CheckLogList"));
    m_list->setAccessibleName(QStringLiteral("Lines not decoded and doubtful fields"));
    m_list->setAccessibleDescription(hint->text());
    // A long reason wraps, so that every word of it can be read in the window.
    m_list->setWordWrap(true);
    m_list->setResizeMode(QListView::Adjust);
    hint->setBuddy(m_list);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(hint);
    layout->addWidget(m_list);

    connect(m_list, &QListWidget::itemActivated, this, &CheckLogWindow::activate);
    setLog({}, {});
}

void CheckLogWindow::setLog(const TextBox::Lines& log, const LogReport& report)
{
    const std::vector<Entry> entries = entriesFor(log, report);
    // Entries are changed in place, so the current entry and the scroll position outlast an edit.
    const int count = int(entries.size());
    while (m_list->count() > count)
        delete m_list->takeItem(m_list->count() - 1);
    for (int i = 0; i < count; ++i) {
        const Entry& entry = entries[std::size_t(i)];
        QListWidgetItem* item = m_list->item(i);
        if (!item)
            item = new QListWidgetItem(m_list);
        if (item->text() != entry.text)
            item->setText(entry.text);
        item->setData(kLineRole, entry.line);
    }
    if (!m_list->currentItem() && count > 0)
        m_list->setCurrentRow(0);
}

void CheckLogWindow::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void CheckLogWindow::activate(QListWidgetItem* item)
{
    const int line = item ? item->data(kLineRole).toInt() : -1;
    if (line >= 0)
        emit lineActivated(line);
}

} // namespace orvik
