// SPDX-License-Identifier: GPL-3.0-or-later
// Archive files the archive refuses or cannot write: other files, damage, newer versions, a folder it may not
// write.
#include "archive/archive.h"
#include "archive/archiveadd.h"
#include "archivetestdata.h"
#include "decoder/beacon.h"
#include "storedrecords.h"
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

using namespace archivetest;

class TestArchiveFiles : public QObject {
    Q_OBJECT

private slots:
    void refusedFilesStayUntouched_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("says");
        QTest::addRow("text file") << "text"
                                   << "no SQLite database";
        QTest::addRow("other database") << "foreign"
                                        << "no archive";
        QTest::addRow("newer version") << "newer"
                                       << "newer version";
        QTest::addRow("damaged") << "damaged"
                                 << "damaged";
    }

    void refusedFilesStayUntouched()
    {
        QFETCH(QString, kind);
        QFETCH(QString, says);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("archive.sqlite"));
        if (kind == QLatin1String("text")) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray("orv1 notes of a pass, kept by hand\n").repeated(200));
        } else if (kind == QLatin1String("foreign")) {
            execRaw(path, {QStringLiteral("CREATE TABLE passes (start TEXT)")});
        } else {
            {
                Archive archive;
                QVERIFY(archive.open(path, Archive::Access::ReadWrite, nullptr));
                std::vector<ArchiveEntry> entries;
                for (unsigned n = 0; n < 300; ++n)
                    entries.push_back(decoded(n, n));
                QVERIFY(archive.add(entries, nullptr, nullptr));
            }
            if (kind == QLatin1String("newer")) {
                execRaw(path, {QStringLiteral("PRAGMA user_version = %1").arg(kArchiveSchemaVersion + 1)});
            } else {
                QFile f(path);
                QVERIFY(f.open(QIODevice::ReadWrite));
                QVERIFY(f.seek(100));
                f.write(QByteArray(400, '\x5a'));
            }
        }
        const QByteArray before = readAll(path);
        for (const auto access : {Archive::Access::ReadOnly, Archive::Access::ReadWrite}) {
            Archive archive;
            QString error;
            QVERIFY(!archive.open(path, access, &error));
            QVERIFY2(error.contains(says) && error.contains(path), qPrintable(error));
            QVERIFY(!archive.add(std::vector{decoded(1, 1)}, nullptr, &error));
        }
        QCOMPARE(readAll(path), before);
    }

    // Damage past the first page is found by SQLite's quick check alone: an add refuses the
    // file with the cause and leaves it as it was.
    void damagePastTheFirstPageRefusesAnAdd_data()
    {
        QTest::addColumn<int>("page"); // counted from 1; 0 for the last
        QTest::addColumn<int>("offset");
        QTest::addColumn<int>("length"); // 0: nothing damaged
        QTest::addRow("a page of records overwritten") << 3 << 0 << 65536;
        QTest::addRow("the last page overwritten") << 0 << 0 << 65536;
        QTest::addRow("one page's type spoiled") << 2 << 0 << 1;
        QTest::addRow("a page's count of cells spoiled") << 0 << 3 << 2;
        QTest::addRow("nothing damaged") << 2 << 0 << 0;
    }

    void damagePastTheFirstPageRefusesAnAdd()
    {
        QFETCH(int, page);
        QFETCH(int, offset);
        QFETCH(int, length);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("archive.sqlite"));
        {
            Archive archive;
            QVERIFY(archive.open(path, Archive::Access::ReadWrite, nullptr));
            std::vector<ArchiveEntry> entries;
            for (unsigned n = 0; n < 3000; ++n)
                entries.push_back(decoded(n, n));
            QVERIFY(archive.add(entries, nullptr, nullptr));
        }
        constexpr qint64 kPage = 65536;
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY2(f.size() >= 4 * kPage, qPrintable(QString::number(f.size())));
        QVERIFY(f.seek((page == 0 ? f.size() / kPage - 1 : page - 1) * kPage + offset));
        f.write(QByteArray(length, '\x5a'));
        f.close();
        const QByteArray before = readAll(path);

        Archive archive;
        QString error;
        const bool added = archive.open(path, Archive::Access::ReadWrite, &error) &&
                           archive.add(std::vector{decoded(5000, 1)}, nullptr, &error);
        archive.close();
        QCOMPARE(added, length == 0);
        if (length > 0) {
            QVERIFY2(error.startsWith(QStringLiteral("'%1' is damaged (SQLite's quick check: ").arg(path)) &&
                         error.endsWith(QStringLiteral("; it is left as it is")),
                     qPrintable(error));
            QCOMPARE(readAll(path), before);
            // A reader's connection may leave an empty WAL behind; nothing was written to it.
            QCOMPARE(QFileInfo(path + QStringLiteral("-wal")).size(), qint64(0));
        }
        // The tool's add says the same and changes nothing either.
        const QByteArray beforeTool = readAll(path);
        const Run tool = runInMemory({QStringLiteral("--archive"), path}, beacon(0x4242) + "\n");
        QCOMPARE(tool.status, length > 0 ? 2 : 0);
        if (length > 0) {
            QCOMPARE(tool.err, "orvik-tlm: " + error.toUtf8() + '\n');
            QCOMPARE(readAll(path), beforeTool);
        }
    }

    void readOnlyArchiveIsReported()
    {
        if (::geteuid() != 0)
            QSKIP("mounting a read-only tmpfs needs root");
        QTemporaryDir dir;
        QVERIFY(
            run(QStringLiteral("mount"), {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                                          QStringLiteral("size=4m"), QStringLiteral("tmpfs"), dir.path()}));
        const QString path = dir.filePath(QStringLiteral("archive.sqlite"));
        {
            Archive archive;
            QVERIFY(archive.open(path, Archive::Access::ReadWrite, nullptr));
            QVERIFY(archive.add(std::vector{decoded(1, 1)}, nullptr, nullptr));
        }
        const bool readOnly =
            run(QStringLiteral("mount"), {QStringLiteral("-o"), QStringLiteral("remount,ro"), dir.path()});
        QString error;
        Archive archive;
        const bool opened = archive.open(path, Archive::Access::ReadWrite, &error);
        Archive reader;
        const bool read = reader.open(path, Archive::Access::ReadOnly, nullptr) && reader.recordCount() == 1;
        reader.close();
        run(QStringLiteral("umount"), {dir.path()});
        QVERIFY(readOnly);
        QVERIFY(!opened);
        QVERIFY2(error.contains(path) && error.contains(QStringLiteral("read-only")), qPrintable(error));
        QVERIFY(read);
    }
};

QTEST_GUILESS_MAIN(TestArchiveFiles)
#include "tst_archivefiles.moc"
