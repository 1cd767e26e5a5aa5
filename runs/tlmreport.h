// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QElapsedTimer>
#include <QIODevice>
#include <QString>
#include <cstdint>
#include <string>
#include <string_view>

namespace orvik {

// Standard error of orvik-tlm: diagnostics, messages and the progress line. On a terminal each
// diagnostic shows at once; elsewhere they are kept and handed on in large pieces. Whatever
// is kept goes out before a message, before a progress line, and at the latest when the
// report goes. A stream that is a QFileDevice left closed gets nothing.
class TlmReport {
public:
    // What `err` is: on a terminal each line goes out at once, and progress shows once the run
    // has taken progressDelayMs.
    enum class Err { Piped, Terminal };
    TlmReport(QIODevice& err, Err kind, int progressDelayMs = 0);
    ~TlmReport();
    TlmReport(const TlmReport&) = delete;
    TlmReport& operator=(const TlmReport&) = delete;

    // The percentage of the progress line counts against this; 0: none is shown.
    void setTotalBytes(std::uint64_t totalBytes) { m_totalBytes = totalBytes; }

    // One diagnostic line, its line end included.
    void tell(std::string_view line);
    // "orvik-tlm: <message>" on a line of its own.
    void say(const QString& message);
    void progress(std::uint64_t bytes, std::uint64_t lines, std::uint64_t records);
    // Wipes the progress line and hands on what is kept.
    void flush();

private:
    void clearProgress();
    void send(std::string_view text);

    QIODevice& m_err;
    bool m_terminal;
    qint64 m_delayMs;
    std::uint64_t m_totalBytes = 0;
    std::string m_kept;
    QElapsedTimer m_timer;
    qint64 m_nextMs = 0;
    bool m_shown = false;
    std::size_t m_width = 0;
};

// "1 record", "3 records": a count and the word for it, as the tool's messages give them.
QString countedText(qint64 n, const char* one, const char* many);

} // namespace orvik
