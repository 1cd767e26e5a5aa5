// SPDX-License-Identifier: GPL-3.0-or-later
#include "tlmreport.h"

#include <algorithm>

namespace orvik {

namespace {

constexpr std::size_t kPiece = 64 * 1024;

} // namespace

TlmReport::TlmReport(QIODevice& err, Err kind, int progressDelayMs)
    : m_err(err)
    , m_terminal(kind == Err::Terminal)
    , m_delayMs(progressDelayMs)
{
    m_timer.start();
}

TlmReport::~TlmReport() { flush(); }

void TlmReport::tell(std::string_view line)
{
    clearProgress();
    m_kept.append(line);
    if (m_terminal || m_kept.size() >= kPiece) {
        send(m_kept);
        m_kept.clear();
    }
}

void TlmReport::say(const QString& message)
{
    flush();
    send(("orvik-tlm: " + message + "\n").toStdString());
}

void TlmReport::progress(std::uint64_t bytes, std::uint64_t lines, std::uint64_t records)
{
    if (!m_terminal || m_timer.elapsed() < m_nextMs)
        return;
    if (!m_shown && m_timer.elapsed() < m_delayMs)
        return;
    m_nextMs = m_timer.elapsed() + 250;
    std::string text =
        "orvik-tlm: " + std::to_string(lines) + " lines, " + std::to_string(records) + " records";
    if (m_totalBytes > 0)
        text += ", " + std::to_string(std::min<std::uint64_t>(100, bytes * 100 / m_totalBytes)) + " %";
    const std::size_t width = text.size();
    if (width < m_width)
        text.append(m_width - width, ' ');
    m_width = width;
    text.insert(0, 1, '\r');
    send(m_kept);
    m_kept.clear();
    send(text);
    m_shown = true;
}

void TlmReport::flush()
{
    clearProgress();
    send(m_kept);
    m_kept.clear();
}

void TlmReport::clearProgress()
{
    if (!m_shown)
        return;
    send("\r" + std::string(m_width, ' ') + "\r");
    m_shown = false;
    m_width = 0;
    m_nextMs = 0;
}

void TlmReport::send(std::string_view text)
{
    if (!text.empty() && m_err.isOpen())
        m_err.write(text.data(), qint64(text.size()));
}

QString countedText(qint64 n, const char* one, const char* many)
{
    return QStringLiteral("%1 %2").arg(n).arg(QLatin1StringView(n == 1 ? one : many));
}

} // namespace orvik
