// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <vector>

class QWidget;

namespace orvik {

// TLM File > Archive Adds…: the adds the archive keeps, oldest first, any of which can be taken
// back after a question. Returns the numbers of those taken back; *message is what the last
// one did, for the status line, or empty when none was.
std::vector<qint64> showArchiveAdds(QWidget* parent, const QString& archivePath, QString* message);

} // namespace orvik
