// SPDX-License-Identifier: GPL-3.0-or-later
#include "confreader.h"

#include "platform/services.h"

namespace orvik {

namespace {

QStringView trimSpaces(QStringView s)
{
    qsizetype first = 0;
    qsizetype last = s.size();
    while (first < last && s[first] == u' ')
        ++first;
    while (last > first && s[last - 1] == u' ')
        --last;
    return s.sliced(first, last - first);
}

// ASCII folding only: a look-alike such as the Kelvin sign must not turn into a key.
bool equalsIgnoringAsciiCase(QStringView s, QLatin1StringView word)
{
    if (s.size() != word.size())
        return false;
    for (qsizetype i = 0; i < s.size(); ++i) {
        char16_t c = s[i].unicode();
        if (c >= u'a' && c <= u'z')
            c = char16_t(c - u'a' + u'A');
        if (c != char16_t(word[i].unicode()))
            return false;
    }
    return true;
}

void readSettingLine(QStringView line, StartupSettings& settings)
{
    const qsizetype eq = line.indexOf(u'=');
    if (eq < 0)
        return;
    const QStringView key = trimSpaces(line.first(eq));
    const QStringView value = trimSpaces(line.sliced(eq + 1));
    if (equalsIgnoringAsciiCase(key, QLatin1StringView("IMAGE_PATH")))
        settings.imagePath = value.toString();
    else if (equalsIgnoringAsciiCase(key, QLatin1StringView("SCREENSHOT")))
        settings.screenshotButton = equalsIgnoringAsciiCase(value, QLatin1StringView("YES"));
    else if (equalsIgnoringAsciiCase(key, QLatin1StringView("ARCHIVE")))
        settings.archivePath = value.toString();
    else if (equalsIgnoringAsciiCase(key, QLatin1StringView("RECOVER")))
        settings.recover = equalsIgnoringAsciiCase(value, QLatin1StringView("YES"));
}

} // namespace

StartupSettings readConf(QStringView text)
{
    StartupSettings settings;
    // A byte-order mark left by an editor would otherwise spoil the first key.
    if (text.startsWith(QChar(0xFEFF)))
        text = text.sliced(1);

    for (const QStringView line : splitTextLines(text)) {
        if (!line.isEmpty() && line[0] != u'#')
            readSettingLine(line, settings);
    }
    return settings;
}

StartupSettings readConfFile(const QString& path)
{
    const std::optional<QString> text = readTextFile(path, kConfFileLimit);
    return text ? readConf(*text) : StartupSettings();
}

} // namespace orvik
