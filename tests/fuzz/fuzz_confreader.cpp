// SPDX-License-Identifier: GPL-3.0-or-later
// readConf on any text, read as UTF-8 and as Latin-1: it returns, and an image path it reports
// is the value of one of the lines.
#include "settings/confreader.h"

#include <QString>
#include <QStringView>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace orvik {
namespace {

QStringView trimBlanks(QStringView s)
{
    while (!s.isEmpty() && s.front() == u' ')
        s = s.sliced(1);
    while (!s.isEmpty() && s.back() == u' ')
        s.chop(1);
    return s;
}

// Whether some line, split at every CR and LF, holds this text after its first "=".
bool isValueOfSomeLine(QStringView text, QStringView value)
{
    qsizetype start = 0;
    while (start <= text.size()) {
        qsizetype end = start;
        while (end < text.size() && text[end] != u'\r' && text[end] != u'\n')
            ++end;
        const QStringView line = text.sliced(start, end - start);
        const qsizetype eq = line.indexOf(u'=');
        if (eq >= 0 && trimBlanks(line.sliced(eq + 1)) == value)
            return true;
        start = end + 1;
    }
    return false;
}

void check(const QString& text)
{
    const StartupSettings settings = readConf(text);
    if (settings.imagePath && !isValueOfSomeLine(text, *settings.imagePath)) {
        std::fprintf(stderr, "readConf: image path '%s' is no line's value\n",
                     settings.imagePath->toUtf8().constData());
        std::abort();
    }
}

} // namespace
} // namespace orvik

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const char* bytes = reinterpret_cast<const char*>(data);
    orvik::check(QString::fromUtf8(bytes, qsizetype(size)));
    orvik::check(QString::fromLatin1(bytes, qsizetype(size)));
    return 0;
}
