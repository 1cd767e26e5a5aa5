// SPDX-License-Identifier: GPL-3.0-or-later
#include "logsummary.h"

#include <QStringList>
#include <algorithm>

namespace orvik {

namespace {

QString counted(std::size_t n, const char* one, const char* many)
{
    return QString::number(n) + u' ' + QLatin1String(n == 1 ? one : many);
}

QString numberList(const std::vector<std::size_t>& numbers, int listed)
{
    QStringList parts;
    const std::size_t shown = std::min(numbers.size(), std::size_t(std::max(listed, 1)));
    for (std::size_t i = 0; i < shown; ++i)
        parts << QString::number(numbers[i]);
    if (numbers.size() > shown)
        parts << QStringLiteral("… (%1 more)").arg(numbers.size() - shown);
    return parts.join(QStringLiteral(", "));
}

// Lines as users count them, from 1.
std::vector<std::size_t> lineNumbers(const std::vector<std::size_t>& lines)
{
    std::vector<std::size_t> out(lines.size());
    std::transform(lines.begin(), lines.end(), out.begin(), [](std::size_t i) { return i + 1; });
    return out;
}

// The record numbers of the doubtful lines; both lists ascend.
std::vector<std::size_t> doubtfulRecords(const LogReport& report)
{
    std::vector<std::size_t> out;
    std::size_t record = 0;
    for (const std::size_t line : report.doubtful) {
        while (record < report.recordLines.size() && report.recordLines[record] < line)
            ++record;
        out.push_back(record + 1);
    }
    return out;
}

} // namespace

QString logSummary(const LogReport& report, int records, int listed)
{
    QStringList parts;
    if (records == 0) {
        parts << QStringLiteral("No beacon line in the log");
    } else if (report.leftOut > 0) {
        parts << QStringLiteral(
                     "%1 records shown; %2 left out (at most 100 are kept); orvik-tlm decodes them all")
                     .arg(records)
                     .arg(report.recovered
                              ? counted(report.leftOut, "more record", "more records")
                              : counted(report.leftOut, "more beacon line", "more beacon lines"));
    } else {
        parts << counted(std::size_t(records), "record", "records") + QStringLiteral(" from ") +
                     counted(report.lines, "line", "lines");
    }
    if (report.recovered) {
        parts << QStringLiteral("recovered: ") + counted(report.linesMerged, "copy merged", "copies merged") +
                     QStringLiteral(", ") +
                     counted(report.valuesMissing, "value left out", "values left out");
    }
    // As the log underlines them: chatter such as "73 de DL1ABC" is no beacon gone wrong.
    if (!report.attempts.empty())
        parts << QStringLiteral("not decoded: ") +
                     QLatin1String(report.attempts.size() == 1 ? "line " : "lines ") +
                     numberList(lineNumbers(report.attempts), listed);
    // Record numbers stand in a clause of their own, never beside line numbers.
    if (!report.doubtful.empty())
        parts << QStringLiteral("doubtful values: ") +
                     QLatin1String(report.doubtful.size() == 1 ? "record " : "records ") +
                     numberList(doubtfulRecords(report), listed);
    return parts.join(QStringLiteral("; "));
}

QString exportNote(const LogReport& report, int records)
{
    if (report.leftOut == 0)
        return {};
    return QStringLiteral(": ") + counted(std::size_t(records), "record", "records") + QStringLiteral("; ") +
           counted(report.leftOut, "beacon line", "beacon lines") + QStringLiteral(" left out");
}

} // namespace orvik
