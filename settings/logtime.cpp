// SPDX-License-Identifier: GPL-3.0-or-later
#include "logtime.h"

#include "decoder/beacon.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QStringView>

namespace orvik {

std::optional<qint64> timeInLog(std::span<const std::u16string_view> lines)
{
    static const QRegularExpression form(
        QStringLiteral(R"((?<!\d)(\d{4})-(\d{2})-(\d{2})[T ](\d{2}):(\d{2})(?::(\d{2}))?(?!\d))"));
    for (const std::u16string_view line : lines) {
        if (isBeaconLine(line))
            break;
        const QRegularExpressionMatch m = form.match(QStringView(line.data(), qsizetype(line.size())));
        if (!m.hasMatch())
            continue;
        const QDate date(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
        const QTime time(m.captured(4).toInt(), m.captured(5).toInt(), m.captured(6).toInt());
        if (date.isValid() && time.isValid())
            return QDateTime(date, time, Qt::UTC).toMSecsSinceEpoch();
    }
    return std::nullopt;
}

} // namespace orvik
