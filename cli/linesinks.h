// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <string_view>

namespace orvik {

class ArchiveSink;
class RecordWriter;
class RecoverRun;

// Where a run of orvik-tlm hands the lines it reads: the records it writes, the archive, or
// the recovery of damaged copies. A line is text as the window holds it: ASCII bytes that
// stand for UTF-16 units, or the units.
class LineSink {
public:
    enum class Takes {
        BeaconLines, // each beacon line makes a record now
        EveryLine,   // every line that is not cut is weighed, and records come later
    };

    virtual ~LineSink() = default;
    virtual Takes takes() const { return Takes::BeaconLines; }

    // The lines that follow are of the input `name`.
    virtual void beginInput(const QString& name) = 0;
    // The bytes the next line came as, where they may be no ASCII; empty once it is taken.
    virtual void keepBytes(std::string_view bytes) = 0;
    // Takes a line. `plain` is cleared when a beacon line's field holds other characters than
    // hex digits, where that is known now. False when handing it on failed.
    virtual bool take(std::string_view line, std::uint64_t lineNumber, bool& plain) = 0;
    virtual bool take(std::u16string_view line, std::uint64_t lineNumber, bool& plain) = 0;
    // Whether the beacon line just taken can be taken back: a repeat that --dedupe leaves
    // out is then found after its record is made, so that the table's memory comes meanwhile.
    virtual bool takesBack() const { return false; }
    virtual void takeBack() {}
    // The input waits for more: what was taken is handed on now.
    virtual bool pause() { return true; }
    // Records made so far.
    virtual std::uint64_t records() const = 0;
};

// The records written as CSV or JSON Lines.
class WrittenLines final : public LineSink {
public:
    explicit WrittenLines(RecordWriter& writer)
        : m_writer(writer)
    {}
    void beginInput(const QString& name) override { m_name = name; }
    void keepBytes(std::string_view) override {}
    bool take(std::string_view line, std::uint64_t lineNumber, bool& plain) override;
    bool take(std::u16string_view line, std::uint64_t lineNumber, bool& plain) override;
    bool takesBack() const override { return true; }
    void takeBack() override;
    std::uint64_t records() const override { return m_records; }

private:
    RecordWriter& m_writer;
    QString m_name;
    std::uint64_t m_records = 0;
};

// Every beacon line added to the archive as a copy.
class ArchivedLines final : public LineSink {
public:
    explicit ArchivedLines(ArchiveSink& archive)
        : m_archive(archive)
    {}
    void beginInput(const QString&) override {}
    void keepBytes(std::string_view bytes) override;
    bool take(std::string_view line, std::uint64_t lineNumber, bool& plain) override;
    bool take(std::u16string_view line, std::uint64_t lineNumber, bool& plain) override;
    bool pause() override;
    std::uint64_t records() const override { return m_records; }

private:
    template <class Line> bool add(Line line, std::uint64_t lineNumber, bool& plain);

    ArchiveSink& m_archive;
    std::uint64_t m_records = 0;
};

// Every line weighed by the recovery, which hands on its records as they are settled.
class RecoveredLines final : public LineSink {
public:
    // `handOn` hands on what the recovery's records went to, when the input waits.
    explicit RecoveredLines(
        RecoverRun& recover, std::function<bool()> handOn = [] { return true; })
        : m_recover(recover)
        , m_handOn(std::move(handOn))
    {}
    Takes takes() const override { return Takes::EveryLine; }
    void beginInput(const QString& name) override;
    void keepBytes(std::string_view bytes) override;
    bool take(std::string_view line, std::uint64_t lineNumber, bool& plain) override;
    bool take(std::u16string_view line, std::uint64_t lineNumber, bool& plain) override;
    bool pause() override { return m_handOn(); }
    std::uint64_t records() const override;

private:
    RecoverRun& m_recover;
    std::function<bool()> m_handOn;
};

} // namespace orvik
