// SPDX-License-Identifier: GPL-3.0-or-later
#include "fromarchive.h"

#include "format/recordform.h"
#include "format/tlmformat.h"

namespace orvik {

bool writeArchiveRecords(const Archive& archive, const TlmOptions& options, QIODevice& out,
                         std::uint64_t* records, QString* error)
{
    RecordLayout layout;
    layout.before = {
        {"record"  },
        {"received", "Received (UTC)"},
        {"source"         },
        {"copies"}
    };
    RecordForm form(options.format, options.decimalPoint, std::move(layout));
    TextBlock text(&out);
    text += form.header();
    std::uint64_t count = 0;
    bool written = true;
    const bool read = archive.forEachRecord(
        options.sinceMs, options.untilMs,
        [&](const ArchiveRecord& r) {
            RecordText(form, text)
                .number(++count)
                .text(archiveTimeText(r.receivedMs).toStdString())
                .text(r.source.toStdString())
                .number(std::uint64_t(r.copies))
                .values(r.values)
                .end();
            written = text.handOnPiece();
            return written;
        },
        error);
    if (read && written)
        written = text.flush();
    if (records)
        *records = count;
    return read && written;
}

} // namespace orvik
