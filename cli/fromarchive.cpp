// SPDX-License-Identifier: GPL-3.0-or-later
#include "fromarchive.h"

#include "decoder/channels.h"
#include "format/beacontext.h"
#include "format/recordwriter.h"
#include "format/tlmformat.h"

#include <cmath>
#include <string>
#include <vector>

namespace orvik {

bool writeArchiveRecords(const Archive& archive, const TlmOptions& options, QIODevice& out,
                         std::uint64_t* records, QString* error)
{
    const bool csv = options.format == TlmFormat::Csv;
    const std::string_view decimalPoint = options.decimalPoint;
    std::string text;
    std::vector<std::string> keys; // ,"caption": of JSON
    if (csv) {
        text = "Received (UTC);";
        for (const Channel& ch : kChannels)
            text.append(ch.caption).append(";");
        text += "\r\n";
    } else {
        for (const Channel& ch : kChannels) {
            std::string key = ",";
            appendJsonString(key, ch.caption);
            keys.push_back(key + ':');
        }
    }
    std::uint64_t count = 0;
    bool written = true;
    char number[kJsonNumberRoom + kNumberRoom + 8];
    const auto flush = [&] {
        written = written && out.write(text.data(), qint64(text.size())) == qint64(text.size());
        text.clear();
        return written;
    };
    const bool read = archive.forEachRecord(
        options.sinceMs, options.untilMs,
        [&](const ArchiveRecord& r) {
            ++count;
            const std::string time = archiveTimeText(r.receivedMs).toStdString();
            if (csv) {
                text += time + ';';
                for (const double value : r.values) {
                    if (!std::isnan(value))
                        text.append(number, appendCsvNumber(number, value, decimalPoint));
                    text += ';';
                }
                text += "\r\n";
            } else {
                text += "{\"record\":" + std::to_string(count) + ",\"received\":\"" + time + "\",\"source\":";
                appendJsonString(text, r.source.toStdString());
                text += ",\"copies\":" + std::to_string(r.copies);
                for (std::size_t i = 0; i < r.values.size(); ++i)
                    text.append(keys[i]).append(number, appendJsonNumber(number, r.values[i]));
                text += "}\n";
            }
            return text.size() < kIoPiece || flush();
        },
        error);
    if (read)
        flush();
    if (records)
        *records = count;
    return read && written;
}

} // namespace orvik
