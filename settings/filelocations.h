// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace orvik {

// Where the window reads and writes its files. A portable copy keeps them all in its
// program folder. An installed copy, whose program folder is not writable, reads conf.ini
// from the user's configuration folder when there is none beside the program, writes the
// CSV to the user's documents folder and the screenshots, by default, to the pictures folder;
// a relative archive path is taken from the user's data folder, where the archive lives.
// What the window remembers from one run to the next goes beside conf.ini: in the program
// folder of a portable copy, else in the user's configuration folder. conf.ini is never written.
struct FileLocations {
    QString confFile;
    QString settingsFile;
    QString exportFolder;
    QString imageFolder;
    QString archiveFolder; // where a relative ARCHIVE path is taken from
};

FileLocations fileLocations(const QString& programFolder);

} // namespace orvik
