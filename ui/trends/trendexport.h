// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "archive/archivequery.h"

#include <QStandardPaths>
#include <QString>
#include <functional>
#include <span>

class QWidget;

namespace orvik {

// The archive's records with x in [lo, hi] as CSV, written as the window's export writes
// numbers: a leading "Received (UTC)" column in ISO 8601, then the channels by caption, every
// field followed by ";", lines ending in CR LF; a value left out is an empty field. The file
// is replaced only by a complete one. False on failure, with *error.
bool saveTrendCsv(const QString& path, const Archive& archive, std::span<const int> channels, TrendTime time,
                  double lo, double hi, QString* error);

// The widget as drawn, as PNG, or as SVG for a name ending in ".svg". False on failure, with *error.
bool saveWidgetImage(const QString& path, QWidget* widget, const QString& title, QString* error);

// Asks for a file to write, offering `name` in the user's `folder`: by `provider` when set,
// as tests do, else by the file dialog. Empty when cancelled.
using FileNameProvider =
    std::function<QString(const QString& caption, const QString& suggested, const QString& filters)>;
QString askSaveName(QWidget* parent, const FileNameProvider& provider, const QString& caption,
                    QStandardPaths::StandardLocation folder, const QString& name, const QString& filters);

} // namespace orvik
