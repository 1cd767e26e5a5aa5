// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Beacon lines numbered apart, decoded as the window decodes them, and raw access to an archive file.
#include "archive/archive.h"
#include "archive/archiveadd.h"
#include "decoder/beacon.h"
#include "storedrecords.h"
#include "support/referenceline.h"
#include "support/tlmtestdata.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <cstring>
#include <limits>
#include <unistd.h>

using namespace orvik;

namespace archivetest {

// A beacon line whose fields all come from n.
inline std::string beaconLine(unsigned n)
{
    std::string line = "orv1 000000 orv2 00000000 orv3 000000 orv4 000000000000 orv5 000000000000 orv6 "
                       "00000000000000000000000000000000000000000";
    static const char hex[] = "0123456789abcdef";
    std::uint64_t bits = 0x9E3779B97F4A7C15u * (n + 1);
    for (const auto& [pos, len] : testsupport::kFrameFields)
        for (int i = 0; i < len; ++i, bits = bits >> 4 | bits << 60)
            line[std::size_t(pos - 1 + i)] = hex[bits & 15];
    return line;
}

inline ArchiveEntry decoded(unsigned n, qint64 receivedMs, const QString& source = QStringLiteral("window"))
{
    ArchiveEntry e;
    e.line = beaconLine(n);
    const std::u16string wide(e.line.begin(), e.line.end());
    decodeBeaconLine(wide, e.values);
    e.receivedMs = receivedMs;
    e.source = source;
    return e;
}

inline bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

inline QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

inline bool run(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    return p.waitForFinished() && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// Runs SQL on a file behind the archive's back, to spoil it on purpose.
inline void execRaw(const QString& path, const QStringList& statements)
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("raw"));
        db.setDatabaseName(path);
        QVERIFY(db.open());
        QSqlQuery q(db);
        for (const QString& sql : statements)
            QVERIFY2(q.exec(sql), qPrintable(sql));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("raw"));
}

} // namespace archivetest
