// SPDX-License-Identifier: GPL-3.0-or-later
#include "channellist.h"

#include "widgets/layout.h"

#include <algorithm>

namespace orvik {

namespace {

constexpr int kChannelRole = Qt::UserRole;

QString toQString(std::string_view utf8) { return QString::fromUtf8(utf8.data(), qsizetype(utf8.size())); }

} // namespace

QString channelCaption(int channel) { return toQString(kChannels[std::size_t(channel)].caption); }

QString channelUnit(int channel) { return toQString(kChannels[std::size_t(channel)].unit); }

ChannelList::ChannelList(QWidget* parent)
    : QTreeWidget(parent)
{
    setAccessibleName(QStringLiteral("Channels"));
    setHeaderHidden(true);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    // Checking is the choice; a selection would only look like one.
    setSelectionMode(QAbstractItemView::NoSelection);
    QFont bold = font();
    bold.setBold(true);
    using layout::Panel;
    for (Panel panel : {Panel::Status, Panel::Power, Panel::Temperatures, Panel::Rssi, Panel::Time}) {
        const auto it = std::find_if(layout::kPanels.begin(), layout::kPanels.end(),
                                     [panel](const layout::PanelLayout& p) { return p.panel == panel; });
        auto* group = new QTreeWidgetItem(
            this, {it->caption.empty() ? QStringLiteral("Time") : toQString(it->caption)});
        group->setFlags(Qt::ItemIsEnabled);
        group->setFont(0, bold);
        std::vector<int> members;
        for (int c = 0; c < kChannelCount; ++c) {
            if (layout::kChannelRows[std::size_t(c)].panel == panel)
                members.push_back(c);
        }
        std::sort(members.begin(), members.end(), [](int a, int b) {
            return layout::kChannelRows[std::size_t(a)].top < layout::kChannelRows[std::size_t(b)].top;
        });
        for (int c : members) {
            const QString unit = channelUnit(c);
            const QString caption = channelCaption(c);
            auto* item = new QTreeWidgetItem(
                group, {unit.isEmpty() ? caption : caption + QStringLiteral(" (") + unit + u')'});
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
            item->setCheckState(0, Qt::Unchecked);
            item->setData(0, kChannelRole, c);
            item->setData(0, Qt::AccessibleTextRole, unit.isEmpty() ? caption : caption + u' ' + unit);
        }
    }
    expandAll();
}

std::vector<int> ChannelList::checkedChannels() const
{
    std::vector<int> out;
    for (int g = 0; g < topLevelItemCount(); ++g) {
        const QTreeWidgetItem* group = topLevelItem(g);
        for (int i = 0; i < group->childCount(); ++i) {
            if (group->child(i)->checkState(0) == Qt::Checked)
                out.push_back(group->child(i)->data(0, kChannelRole).toInt());
        }
    }
    std::sort(out.begin(), out.end());
    return out;
}

void ChannelList::setCheckedChannels(const std::vector<int>& channels)
{
    QTreeWidgetItem* first = nullptr;
    for (int g = 0; g < topLevelItemCount(); ++g) {
        QTreeWidgetItem* group = topLevelItem(g);
        for (int i = 0; i < group->childCount(); ++i) {
            const int c = group->child(i)->data(0, kChannelRole).toInt();
            const bool on = std::find(channels.begin(), channels.end(), c) != channels.end();
            group->child(i)->setCheckState(0, on ? Qt::Checked : Qt::Unchecked);
            if (on && !first)
                first = group->child(i);
        }
    }
    if (first)
        setCurrentItem(first);
}

} // namespace orvik
