// SPDX-License-Identifier: GPL-3.0-or-later
#include "recoverinternal.h"

#include <algorithm>
#include <utility>

namespace orvik {
namespace recovery {

const GroupMore Group::kNone{};

// A clean line's keys are written out when the group first needs room for more.
GroupMore& Group::more()
{
    if (!m_more) {
        m_more = m_spare ? std::move(m_spare) : std::make_unique<GroupMore>();
        if (clean) {
            cleanKeys(cleanText.data(), m_more->ownKeys, std::make_index_sequence<kFrameTags.size()>());
            m_more->ownCount = std::uint8_t(kFrameTags.size());
        }
    }
    return *m_more;
}

void Group::addKey(std::uint64_t key, bool first, std::uint64_t before)
{
    GroupMore& m = more();
    const auto own = m.ownKeys.begin() + m.ownCount;
    if (!first && (std::find(m.ownKeys.begin(), own, key) != own ||
                   std::find(m.moreKeys.begin(), m.moreKeys.end(), key) != m.moreKeys.end()))
        return;
    if (m.ownCount < m.ownKeys.size()) {
        m.ownBefore[m.ownCount] = before;
        m.ownKeys[m.ownCount++] = key;
    } else {
        m.moreKeys.push_back(key);
        m.moreBefore.push_back(before);
    }
}

std::uint64_t Group::before(std::uint64_t key) const
{
    if (!m_more)
        return 0;
    const GroupMore& m = *m_more;
    for (std::size_t i = 0; i < m.ownCount; ++i) {
        if (m.ownKeys[i] == key)
            return m.ownBefore[i];
    }
    const auto at = std::find(m.moreKeys.begin(), m.moreKeys.end(), key);
    return at == m.moreKeys.end() ? 0 : m.moreBefore[std::size_t(at - m.moreKeys.begin())];
}

void Group::setBefore(std::uint64_t key, std::uint64_t group)
{
    if (!m_more && group == 0)
        return;
    GroupMore& m = more();
    for (std::size_t i = 0; i < m.ownCount; ++i) {
        if (m.ownKeys[i] == key)
            m.ownBefore[i] = group;
    }
    const auto at = std::find(m.moreKeys.begin(), m.moreKeys.end(), key);
    if (at != m.moreKeys.end())
        m.moreBefore[std::size_t(at - m.moreKeys.begin())] = group;
}

void Group::clearKeys()
{
    if (!m_more)
        return;
    m_more->ownCount = 0;
    m_more->moreKeys.clear();
    m_more->moreBefore.clear();
}

void Group::reuse()
{
    std::pmr::vector<Copy> kept = std::move(copies);
    kept.clear();
    std::unique_ptr<GroupMore> spare = m_more ? std::move(m_more) : std::move(m_spare);
    *this = Group{};
    copies = std::move(kept);
    if (spare) {
        *spare = GroupMore{};
        m_spare = std::move(spare);
    }
}

} // namespace recovery
} // namespace orvik
