// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QTreeWidget>
#include <vector>

namespace orvik {

// A channel's caption and unit from the channel table.
QString channelCaption(int channel);
QString channelUnit(int channel);

// Every channel with a check box, grouped under the captions of the main window's panels and
// in each panel's top-to-bottom order. Screen readers hear a channel as its value box is
// named there: caption and unit.
class ChannelList : public QTreeWidget {
    Q_OBJECT
public:
    explicit ChannelList(QWidget* parent);

    std::vector<int> checkedChannels() const; // ascending
    // Checks exactly these; the keyboard starts at the first of them.
    void setCheckedChannels(const std::vector<int>& channels);
};

} // namespace orvik
