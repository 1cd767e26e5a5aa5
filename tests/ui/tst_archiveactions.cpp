// SPDX-License-Identifier: GPL-3.0-or-later
#include "archivewindow.h"
#include "archive/archive.h"
#include "archive/archivequery.h"
#include "ui/archiveactions.h"
#include "ui/mainwindow.h"
#include "widgets/statuslabel.h"

#include <QAction>
#include <QApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cmath>
#include <limits>

using namespace orvik;
using namespace orvik::testing;

class TestArchiveActions : public ArchiveWindowFixture {
    Q_OBJECT

private slots:
    void init() { openWindow(); }
    void cleanup() { closeWindow(); }

    void addsEveryBeaconLine_data()
    {
        QTest::addColumn<QStringList>("logs"); // each pasted and added in turn
        QTest::addColumn<QString>("label3");   // after the last; PATH stands for the archive
        QTest::addColumn<int>("rows");
        QTest::addRow("three lines") << QStringList{log(1, 4)} << "3 records added to PATH" << 3;
        QTest::addRow("one line") << QStringList{log(1, 2)} << "1 record added to PATH" << 1;
        QTest::addRow("added again") << QStringList{log(1, 4), log(1, 4)}
                                     << "0 records added to PATH; 3 were there already" << 3;
        QTest::addRow("letter case aside")
            << QStringList{log(1, 3) + beacon(2).toUpper() + QStringLiteral("\r\n")}
            << "3 copies added to PATH: 2 new records, the others joined records there" << 2;
        QTest::addRow("past the 100th line")
            << QStringList{log(1, 131)} << "130 records added to PATH" << 130;
        QTest::addRow("no beacon line")
            << QStringList{QStringLiteral("heard nothing")} << "No beacon line to add to PATH" << 0;
    }
    void addsEveryBeaconLine()
    {
        QFETCH(QStringList, logs);
        QFETCH(QString, label3);
        QFETCH(int, rows);
        const qint64 before = QDateTime::currentSecsSinceEpoch() * 1000;
        for (const QString& text : logs) {
            paste(text);
            addToArchive();
        }
        QCOMPARE(this->label3(), QString(label3).replace(QStringLiteral("PATH"), archivePath()));
        const Totals t = totals(archivePath());
        QCOMPARE(t.rows, qint64(rows));
        // An add that finds no beacon line makes no file.
        QCOMPARE(QFileInfo::exists(archivePath()), rows > 0);
        // The time offered puts the last beacon at now, to the second.
        if (rows > 0) {
            QVERIFY(t.lastMs >= before && t.lastMs <= QDateTime::currentMSecsSinceEpoch());
            QCOMPARE(t.lastMs - t.firstMs, qint64(rows - 1) * 1000);
            QCOMPARE(t.firstMs % 1000, qint64(0));
        }
    }

    // What Add to Archive offers for the first beacon: the time the log gives before it, or
    // the one that puts the last beacon of its first run at now.
    void datesTheLog_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("offered"); // UTC; "now-N": N seconds before now
        QTest::addColumn<QString>("onBoard"); // of the first beacon
        const QString pass = beacon(0x100) + u'\n' + beacon(0x140) + u'\n' + beacon(0x180) + u'\n';
        QTest::addRow("a header line")
            << "# Orvik pass 2026-12-08 19:53 UTC\n" + pass << "2026-12-08T19:53:00Z"
            << "256";
        QTest::addRow("a header with seconds")
            << "QSO 2026-12-08T19:53:41Z DL0XYZ\n" + pass << "2026-12-08T19:53:41Z"
            << "256";
        QTest::addRow("no time in the log") << pass << "now-128"
                                            << "256";
        QTest::addRow("a time after the first beacon") << pass + "2026-12-08 19:53\n"
                                                       << "now-128"
                                                       << "256";
        QTest::addRow("no such date") << "2026-13-08 19:53\n" + pass << "now-128"
                                      << "256";
        QTest::addRow("a date alone") << "# Orvik pass 2026-12-08\n" + pass << "now-128"
                                      << "256";
        QTest::addRow("a reset ends the first run")
            << beacon(0x100) + u'\n' + beacon(0x140) + u'\n' + beacon(0x10) + u'\n' << "now-64"
            << "256";
        QTest::addRow("its time in doubt")
            << QString(pass).replace(0, 11, QStringLiteral("orv1 0001z0")) << "now-64"
            << "nan";
    }
    void datesTheLog()
    {
        QFETCH(QString, text);
        QFETCH(QString, offered);
        QFETCH(QString, onBoard);
        const QStringList split = text.split(u'\n');
        std::vector<std::u16string> lines;
        for (const QString& l : split)
            lines.push_back(l.toStdU16String());
        const std::vector<std::u16string_view> views(lines.begin(), lines.end());
        constexpr qint64 now = 1796000000500; // between seconds
        const LogDating d = dateLog(views, now);
        QVERIFY(d.anyBeacon);
        QCOMPARE(d.fromLog, !offered.startsWith(u"now"));
        if (d.fromLog)
            QCOMPARE(archiveTimeText(d.suggestedMs), offered);
        else
            QCOMPARE(d.suggestedMs, 1796000000000 - offered.mid(4).toLongLong() * 1000);
        QCOMPARE(std::isnan(d.firstOnBoardTime) ? QStringLiteral("nan") : QString::number(d.firstOnBoardTime),
                 onBoard);
    }

    // The time given dates the first beacon, the others follow by their on-board times; a
    // cancelled add adds nothing.
    void dialogDatesTheAdd_data()
    {
        QTest::addColumn<bool>("cancel");
        QTest::addColumn<QString>("label3");
        QTest::addColumn<QString>("received");
        QTest::addRow("added") << false << "3 records added to PATH"
                               << "19:53:00 19:54:04 19:55:08";
        QTest::addRow("cancelled") << true << "Add to Archive cancelled; nothing was added"
                                   << "";
    }
    void dialogDatesTheAdd()
    {
        QFETCH(bool, cancel);
        QFETCH(QString, label3);
        QFETCH(QString, received);
        paste(beacon(0x100) + u'\n' + beacon(0x140) + u'\n' + beacon(0x180) + u'\n');
        addToArchive(QDateTime(QDate(2026, 12, 8), QTime(19, 53), Qt::UTC), cancel);
        QCOMPARE(this->label3(), QString(label3).replace(QStringLiteral("PATH"), archivePath()));
        QStringList times;
        Archive archive;
        if (archive.open(archivePath(), Archive::Access::ReadOnly, nullptr)) {
            archive.forEachRecord(
                std::numeric_limits<qint64>::min(), std::numeric_limits<qint64>::max(),
                [&](const ArchiveRecord& r) {
                    times << archiveTimeText(r.receivedMs).mid(11, 8);
                    return true;
                },
                nullptr);
        }
        QCOMPARE(times.join(u' '), received);
        QCOMPARE(QFileInfo::exists(archivePath()), !cancel);
    }

    // The window shows a value from a field of "zz" as doubtful; the archive leaves it out,
    // and the trends draw nothing for it.
    void doubtfulValuesAreLeftOut_data()
    {
        QTest::addColumn<int>("position"); // counted from 1
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<int>>("leftOut");
        QTest::addRow("zz in Battery Temp*") << 36 << "zz" << QList<int>{13};
        QTest::addRow("a letter in RSSI (orv6)") << 89 << "g" << QList<int>{30};
        QTest::addRow("upper case is hex") << 36 << "AB" << QList<int>{};
    }
    void doubtfulValuesAreLeftOut()
    {
        QFETCH(int, position);
        QFETCH(QString, text);
        QFETCH(QList<int>, leftOut);
        const QString doubtful = beacon(7).replace(position - 1, text.size(), text);
        paste(log(1, 3) + doubtful + QStringLiteral("\r\n"));
        addToArchive();
        QCOMPARE(label3(), QStringLiteral("3 records added to %1").arg(archivePath()));
        Archive archive;
        QVERIFY(archive.open(archivePath(), Archive::Access::ReadOnly, nullptr));
        std::vector<ArchiveRecord> records;
        QVERIFY(archive.forEachRecord(
            std::numeric_limits<qint64>::min(), std::numeric_limits<qint64>::max(),
            [&](const ArchiveRecord& r) { return records.push_back(r), true; }, nullptr));
        QCOMPARE(records.size(), std::size_t(3));
        for (const ArchiveRecord& r : records) {
            const bool isDoubtful = QString::fromStdString(r.line) == doubtful.toLower();
            for (int c = 0; c < kChannelCount; ++c)
                QCOMPARE(std::isnan(r.values[std::size_t(c)]), isDoubtful && leftOut.contains(c));
        }
        for (int c = 0; c < kChannelCount; ++c) {
            const int channels[] = {c};
            TrendData trend;
            QVERIFY(readTrend(archive, channels, TrendTime::OnBoard, -1e15, 1e15, 100, &trend, nullptr));
            QCOMPARE(trend.records, qint64(3));
            QCOMPARE(trend.lines.front().points.size(), leftOut.contains(c) ? 2 : 3);
        }
    }

    void refusedArchiveIsReportedAndKept()
    {
        QFile notes(archivePath());
        QVERIFY(notes.open(QIODevice::WriteOnly));
        notes.write("orv1 notes of a pass\n");
        notes.close();
        paste(log(1, 4));
        addToArchive();
        QVERIFY2(
            label3().startsWith(QStringLiteral("Nothing was added to the archive: '%1' is not an archive")
                                    .arg(archivePath())),
            qPrintable(label3()));
        QVERIFY(notes.open(QIODevice::ReadOnly));
        QCOMPARE(notes.readAll(), QByteArray("orv1 notes of a pass\n"));
    }

    // orvik-tlm adds a big log while the window adds its own lines, some of them the same.
    void windowAndToolAddAtOnce()
    {
        constexpr int kToolLines = 60000;
        QFile big(m_folder->filePath(QStringLiteral("big.log")));
        QVERIFY(big.open(QIODevice::WriteOnly));
        for (int n = 0; n < kToolLines; ++n)
            big.write(beacon(0x100000 + n).toLatin1() + "\n");
        big.close();

        QProcess tool;
        tool.start(QStringLiteral(ORVIK_TLM_PATH),
                   {QStringLiteral("--archive"), archivePath(), big.fileName()});
        QVERIFY(tool.waitForStarted());
        // 40 lines of the window's own and 10 that the tool adds too.
        paste(log(1, 41) + log(0x100000, 0x10000a));
        int adds = 0;
        int addsWhileRunning = 0;
        while (tool.state() != QProcess::NotRunning || adds < 3) {
            addToArchive();
            ++adds;
            addsWhileRunning += tool.state() != QProcess::NotRunning;
            // "Nothing was added to …" says " added to " too: a failed add is no add.
            QVERIFY2(!label3().startsWith(QStringLiteral("Nothing was added")) &&
                         label3().contains(
                             QRegularExpression(QStringLiteral("^\\d+ (records?|cop(y|ies)) added to "))),
                     qPrintable(label3()));
            tool.waitForFinished(100);
        }
        QCOMPARE(tool.exitCode(), 0);
        QVERIFY(addsWhileRunning > 0);
        const Totals t = totals(archivePath());
        QCOMPARE(t.rows, qint64(kToolLines + 40));
        // The window's adds after its first find its copies there already.
        QCOMPARE(t.copies, qint64(kToolLines + 50));
    }

    void twoProgramsMakeOneArchive_data()
    {
        QTest::addColumn<bool>("window");    // the window adds beside the tool, or a second tool
        QTest::addColumn<bool>("emptyFile"); // a file of no bytes stands where the archive goes
        QTest::addRow("two tools, no file yet") << false << false;
        QTest::addRow("two tools, an empty file") << false << true;
        QTest::addRow("the window and a tool, no file yet") << true << false;
    }

    // Programs that make the archive that none found at once: none is refused as locked, and
    // each one's lines are in it. The race is short: each row runs it many times.
    void twoProgramsMakeOneArchive()
    {
        QFETCH(bool, window);
        QFETCH(bool, emptyFile);
        QFile small(m_folder->filePath(QStringLiteral("small.log")));
        QVERIFY(small.open(QIODevice::WriteOnly));
        for (int n = 0; n < 500; ++n)
            small.write(beacon(0x200000 + n).toLatin1() + "\n");
        small.close();
        paste(log(1, 21));
        const QStringList arguments{QStringLiteral("--archive"), archivePath(), small.fileName()};
        for (int round = 0; round < 30; ++round) {
            for (const QString& suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")})
                QFile::remove(archivePath() + suffix);
            if (emptyFile) {
                QFile empty(archivePath());
                QVERIFY(empty.open(QIODevice::WriteOnly));
            }
            QProcess first;
            QProcess second;
            first.start(QStringLiteral(ORVIK_TLM_PATH), arguments);
            if (!window)
                second.start(QStringLiteral(ORVIK_TLM_PATH), arguments);
            QVERIFY(first.waitForStarted());
            if (window) {
                addToArchive();
                QVERIFY2(label3().contains(QStringLiteral(" added to ")) &&
                             !label3().startsWith(QStringLiteral("Nothing")),
                         qPrintable(label3()));
            }
            for (QProcess* tool : {&first, &second}) {
                if (tool == &second && window)
                    continue;
                // The window's add waits in the event loop, where the tool may have ended already.
                QVERIFY(tool->state() == QProcess::NotRunning || tool->waitForFinished(30000));
                QVERIFY2(tool->exitCode() == 0, tool->readAllStandardError().constData());
            }
            QCOMPARE(totals(archivePath()).rows, qint64(window ? 520 : 500));
        }
    }
};

QTEST_MAIN(TestArchiveActions)
#include "tst_archiveactions.moc"
