// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

namespace orvik {

// "DDMMYYYY.bmp"; the window fixes it once per run.
QString captureName(const QDate& date);

// The image path as configured, then "orv_" and the capture name. No separator is
// added: a configured folder must end with one.
QString bitmapPath(const QString& imagePath, const QString& captureName);

// The external converter that turns the bitmap into a cropped PNG and deletes it.
QString converterProgram();
// The bitmap path is one argument, whatever blanks it holds.
QStringList converterArguments(const QString& bitmapPath);

} // namespace orvik
