// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "archive/archive.h"
#include "decoder/passclock.h"
#include "heardlines.h"

#include <QElapsedTimer>
#include <QString>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orvik {

// orvik-tlm --archive: the beacon lines of a run, decoded into the archive. The run is added
// in slices of about a quarter second or a few thousand lines, each one transaction, so that
// the window can add between them; a failure drops the slice under way and keeps those
// before it.
class ArchiveSink {
public:
    // The archive is opened at `path` for the first record, if it is not open yet: an add
    // that finds no beacon line makes no file.
    ArchiveSink(Archive& archive, const QString& path);

    // Counts of the slices added so far.
    const ArchiveAddResult& counts() const { return m_counts; }
    const QString& error() const { return m_error; }

    // Source of the records that follow, "<name>:<line number>", and the time the first
    // beacon of that input was received: the others are dated from it by their on-board time.
    // An input named again goes on where it was.
    void setInput(const QString& name, qint64 firstReceivedMs);
    // Every copy is named by its input alone, as the window names what it adds: the same text
    // is the same copy wherever it stands in the log.
    void nameByInputAlone() { m_numbered = false; }
    // Each input whose on-board time went back before a record it added, with the times it
    // did, in the order of the inputs: copies of earlier beacons repeated say nothing.
    struct Resets {
        QString input;
        int count = 0;
        qint64 firstReceivedMs = 0;
    };
    std::vector<Resets> resets() const;
    // Decodes and adds a beacon line; `plain` is cleared when a field holds other characters
    // than hex digits, and that field's values are left out. False, with error(), when the
    // archive refused it.
    bool add(std::string_view asciiLine, std::uint64_t lineNumber, bool& plain);
    bool add(std::u16string_view line, std::uint64_t lineNumber, bool& plain, bool keepLine = true);
    // The bytes the next line came as, in a UTF-8 input: kept as they are where they are no
    // valid UTF-8, so that the copy keeps what was received.
    void keepBytes(std::string_view bytes) { m_bytes = bytes; }
    // Adds a record recovered from damaged copies: its line as recovered and its values, NaN
    // for a value left out; `first` is its first copy, and it stands for `copies`. A copy that
    // begins inside its line, after another beacon, is named by its column too:
    // "<name>:<line>:<column>". The next `heard` copies added are its copies as received,
    // kept beside it so that they are known when they come again; they do not vote.
    bool addRecovered(std::string_view line, const std::array<double, kChannelCount>& values,
                      const CopySource& first, int copies, int heard);
    // Adds a copy of a recovered record as received, dated by the record's values.
    // Whether the copy added before is one of the same beacon's.
    enum class Follows { AnotherBeacon, ItsBeacon };
    bool addHeard(const HeardCopy& copy, const std::array<double, kChannelCount>& values, Follows follows);
    // Commits the slice under way.
    bool finish();
    // Drops the slice under way.
    void abandon();

private:
    bool addEntry(std::uint64_t lineNumber, std::uint32_t column = 0);
    void keepLineAsReceived(std::u16string_view line, std::string_view bytes);

    Archive& m_archive;
    QString m_path;
    ArchiveEntry m_entry;
    struct Clock {
        QString input;
        PassClock clock;
        bool addedAfterReset = false;
    };
    std::vector<Clock> m_clocks; // of each input, in order
    std::size_t m_clock = 0;
    std::u16string m_wide;
    std::string_view m_bytes; // of the next line, when keepBytes told them
    std::string m_sourcePrefix;
    QString m_input;
    bool m_numbered = true;
    ArchiveAddResult m_counts;
    ArchiveAddResult m_pending; // of the slice under way
    bool m_begun = false;
    int m_sinceCheck = 0;
    int m_sliceLines = 0;  // lines taken into the slice under way
    int m_heardToCome = 0; // copies heard of the last stand-in, still to be added
    QElapsedTimer m_slice;
    QElapsedTimer m_committed; // since the last slice was committed
    QString m_error;
};

} // namespace orvik
