// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "decoder/recordtable.h"
#include "widgets/layout.h"

#include <QString>
#include <array>
#include <span>
#include <string_view>

class QGroupBox;
class QLabel;
class QLineEdit;
class QWidget;

namespace orvik {

class OptionButton;

// The four channel panels and the time strip, as drawn: per channel an option button that
// charts it, a value box and a unit label. The value boxes show one record at a time.
class DataPanels {
public:
    explicit DataPanels(QWidget* client);

    QGroupBox* frame(layout::Panel panel) const { return m_frames[std::size_t(panel)]; }
    const std::array<OptionButton*, kChannelCount>& options() const { return m_options; }
    const std::array<QLineEdit*, kChannelCount>& values() const { return m_values; }
    const std::array<QLabel*, kChannelCount>& units() const { return m_units; }

    // Numbers, words for the status channels, and the values in doubt with their reasons.
    void showRecord(const Record& r, const std::array<QString, kChannelCount>& doubts);
    // The value box of the charted channel stands out.
    void setHighlight(int channel, bool on);
    // While no record is decoded the value boxes look greyed: they belong to no line.
    void setEmpty(bool empty);

private:
    void setDoubt(int channel, const QString& reason);
    void updateValueLook(int channel);

    std::array<QGroupBox*, 5> m_frames{};
    std::array<OptionButton*, kChannelCount> m_options{};
    std::array<QLineEdit*, kChannelCount> m_values{};
    std::array<QLabel*, kChannelCount> m_units{};
    bool m_empty = true;
    bool m_shown = false; // a record was shown: before that, "invalid" is no stale value
};

// What a value box and a chart show for a value the recovery left out, and why.
inline const QString kLeftOutMark = QStringLiteral("\u2013");
QString leftOutNote(LeftOut reason);

// Why each value of record `record` (counted from 1) is in doubt or left out, or an empty
// text: fields that held other characters than hex digits, or what the recovery could not tell.
std::array<QString, kChannelCount> recordDoubts(const LogReport& report,
                                                std::span<const std::u16string_view> lines, int record);

} // namespace orvik
