// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "copyframes.h"
#include "decoder/recover.h"

#include <string>
#include <string_view>
#include <vector>

namespace orvik {

// A stretch of text that may be one beacon as heard, folded to lower case.
struct Candidate {
    std::u16string text;
    CopySource source;
    Seams seams;
};

// A frame tag found whole in a line.
struct Tag {
    std::size_t at;
    int frame; // from 0
};

// Cuts the lines that are no beacon line as they stand into beacon candidates, as CW decoders
// write them: a candidate starts at each "orv1" tag (or one heard with a character wrong that
// an "orv2" confirms), several may stand on one line, and one cut short at a line's end is
// joined with the next line when that line carries its next frames on.
class CandidateCutter {
public:
    // Cuts one line, folded to lower case; appends the candidates it finishes to `out`. A
    // candidate cut short is held until the next line or finish(). False when no part of the
    // line can be a beacon.
    bool feed(std::u16string_view line, CopySource source, std::vector<Candidate>& out);
    // Hands over the candidate held, if any.
    void finish(std::vector<Candidate>& out);
    // The candidate held, if any.
    const Candidate* held() const { return m_holding ? &m_held : nullptr; }

private:
    bool continues(std::u16string_view more, const std::vector<Tag>& tags, CopySource source,
                   bool beforeStart) const;
    void join(std::u16string_view more, CopySource source, std::size_t lineSize);
    void hold(Candidate c, int lastWholeTag);

    Candidate m_held;
    int m_heldLast = -1; // the highest frame whose tag the candidate held holds whole
    bool m_holding = false;
    std::vector<Tag> m_tags;           // of the line being cut
    std::vector<std::size_t> m_starts; // of the line being cut
};

} // namespace orvik
