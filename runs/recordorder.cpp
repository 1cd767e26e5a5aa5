// SPDX-License-Identifier: GPL-3.0-or-later
#include "recordorder.h"

#include <algorithm>
#include <limits>

namespace orvik {

namespace {

constexpr std::uint64_t kNone = std::numeric_limits<std::uint64_t>::max();

} // namespace

bool RecordOrder::take(RecoveredRecord& record)
{
    const std::uint64_t number = m_taken++;
    const std::uint32_t input = record.copies.front().input;
    const bool oneInput = std::all_of(record.copies.begin(), record.copies.end(),
                                      [&](const CopySource& s) { return s.input == input; });
    // Nothing waits and no other input holds it: nothing can go before it.
    if (oneInput && m_waiting.empty()) {
        m_last = {input, record.copies.front().line};
        for (const CopySource& s : record.copies)
            m_last.line = std::min(m_last.line, s.line);
        return true;
    }
    Waiting waiting{std::move(record), {}};
    std::vector<Place>& places = waiting.places;
    for (const CopySource& s : waiting.record.copies) {
        const auto at =
            std::find_if(places.begin(), places.end(), [&](const Place& p) { return p.input == s.input; });
        if (at == places.end())
            places.push_back({s.input, s.line});
        else
            at->line = std::min(at->line, s.line);
    }
    std::sort(places.begin(), places.end());
    m_last = places.front();
    for (const Place& p : places)
        m_byInput[p.input].emplace(p.line, number);
    m_waiting.emplace(number, std::move(waiting));
    return false;
}

bool RecordOrder::next(RecoveredRecord& out, Recoverer::Ready ready)
{
    const bool all = ready == Recoverer::Ready::All;
    std::uint64_t chosen = kNone;
    for (const auto& [input, lines] : m_byInput) {
        const std::uint64_t number = lines.begin()->second;
        if (number < chosen && firstEverywhere(number))
            chosen = number;
    }
    if (chosen == kNone) {
        // Each input's first record waits for another's: the inputs disagree on the order.
        for (const auto& [input, lines] : m_byInput) {
            const std::uint64_t number = lines.begin()->second;
            if (!all && !settled(number))
                return false;
            chosen = std::min(chosen, number);
        }
        if (chosen == kNone)
            return false;
    } else if (!all && !settled(chosen)) {
        return false;
    }
    release(chosen, out);
    return true;
}

// No waiting record holds an earlier line of any of its inputs.
bool RecordOrder::firstEverywhere(std::uint64_t number) const
{
    const Waiting& waiting = m_waiting.at(number);
    return std::all_of(waiting.places.begin(), waiting.places.end(),
                       [&](const Place& p) { return m_byInput.at(p.input).begin()->second == number; });
}

// No record still to come can hold a line before one of its lines.
bool RecordOrder::settled(std::uint64_t number) const
{
    const Waiting& waiting = m_waiting.at(number);
    return std::all_of(waiting.places.begin(), waiting.places.end(),
                       [&](const Place& p) { return p <= m_last; });
}

void RecordOrder::release(std::uint64_t number, RecoveredRecord& out)
{
    const auto at = m_waiting.find(number);
    for (const Place& p : at->second.places) {
        const auto lines = m_byInput.find(p.input);
        lines->second.erase({p.line, number});
        if (lines->second.empty())
            m_byInput.erase(lines);
    }
    out = std::move(at->second.record);
    m_waiting.erase(at);
}

} // namespace orvik
