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
};

// Reads the text of conf.ini. Lines end at CR LF, CR or LF; a line that starts with "#"
// is a comment; a line without "=" changes nothing. Never fails, in linear time.
StartupSettings readConf(QStringView text);

} // namespace orvik
