// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

namespace orvik {

// "DDMMYYYY.bmp"; the window fixes it once per run.
QString captureName(const QDate& date);

// The image path in force for an IMAGE_PATH value. A relative one is taken from the folder
// where screenshots go by default (the program folder of a portable copy), whatever folder
// the program was started from; one that starts at a root or a drive is kept as written.
// Letter case is kept and no separator is added.
QString resolveImagePath(const QString& defaultFolder, const QString& configured);

// Whether a capture can be written under this image path on this system; if not, *reason says
// why. Outside Windows a drive letter ("Z:\shots\") or a leading backslash ("\\server\share\")
// names no folder: written as it stands it would only become a file of that odd name.
bool imagePathIsUsable(const QString& imagePath, QString* reason);

// The image path as configured, then "orv_" and the capture name. No separator is
// added: a configured folder must end with one.
QString bitmapPath(const QString& imagePath, const QString& captureName);

// The external converter that turns the bitmap into a cropped PNG and deletes it.
QString converterProgram();
// The bitmap path is one argument, whatever blanks it holds. It must be absolute (as
// resolveImagePath makes it), so that it can never be read as an option such as "-D".
QStringList converterArguments(const QString& bitmapPath);

} // namespace orvik
