// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "decoder/beacon.h"
#include "decoder/recordtable.h"
#include "recordform.h"

#include <QIODevice>
#include <QString>
#include <QStringList>
#include <string>
#include <vector>

namespace orvik {

// Writes the semicolon-separated export line by line, one write per line: every field is
// followed by ";" and every line ends in CR LF. The window and the command-line tool share
// it, so their files are byte for byte the same.
class CsvWriter {
public:
    CsvWriter(QIODevice& out, std::string decimalPoint); // the separator in UTF-8, e.g. "."
    ~CsvWriter();

    // Refuses, writing nothing, unless there are 31 captions free of ";", CR and LF.
    bool writeHeader(const QStringList& captions);
    // The 31 values in general number text.
    bool writeRecord(const Record& record);

private:
    RecordForm m_form;
    TextBlock m_line;
};

// The window's export: the header, then records 1 to table.count(). False on any write error.
bool writeCsv(QIODevice& out, const QStringList& captions, const RecordTable& table,
              const std::string& decimalPoint);

// Writes the export to `path`; an older file is replaced only by a complete new one. False on
// failure, with *error ("'PATH' cannot be written: Permission denied").
bool saveCsvFile(const QString& path, const QStringList& captions, const RecordTable& table,
                 const std::string& decimalPoint, QString* error);

} // namespace orvik
