// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringView>
#include <optional>

namespace orvik {

// What conf.ini sets; an absent member leaves the default in force.
struct StartupSettings {
    std::optional<QString> imagePath;     // last IMAGE_PATH value, letter case kept
    std::optional<bool> screenshotButton; // last SCREENSHOT: true when the value is YES
    std::optional<QString> archivePath;   // last ARCHIVE value, letter case kept
    std::optional<bool> recover;          // last RECOVER: true when the value is YES
};

// Reads the text of conf.ini. Lines end at CR LF, CR or LF; a line that starts with "#"
// is a comment; a line without "=" changes nothing. Never fails, in linear time.
StartupSettings readConf(QStringView text);

// Only so much of conf.ini is read; a setting line cut by the limit is left out whole
// rather than taken half.
inline constexpr qint64 kConfFileLimit = 64 * 1024;

// Reads the conf.ini at path when it is a regular file (or a link to one); anything else,
// or a file that cannot be read, leaves every default in force. Never waits on a FIFO.
StartupSettings readConfFile(const QString& path);

} // namespace orvik
