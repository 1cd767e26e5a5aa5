// SPDX-License-Identifier: GPL-3.0-or-later
#include "io/archive.h"
#include "io/archivequery.h"
#include "ui/archiveactions.h"
#include "ui/mainwindow.h"
#include "widgets/statuslabel.h"

#include <QAction>
#include <QApplication>
#include <QDateTime>
#include <QDateTimeEdit>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <cmath>
#include <limits>

using namespace orvik;

namespace {

const QString kGood =
    QStringLiteral("orv1 01e240 orv2 e55a0080 orv3 a0c880 orv4 0a141e28323c orv5 6e6f70717273 "
                   "orv6 7480ff6e40") +
    QString(31, u'0');

// Beacon n: its on-board time, and telemetry of its own in the counters of frame 2, as the
// beacons of a season differ in more than their times.
QString beacon(int n)
{
    const QString digits = QString::number(n, 16).rightJustified(6, u'0');
    return QString(kGood).replace(5, 6, digits).replace(17, 6, digits);
}

// Beacon lines first to last - 1, CR LF after each, with a line that is none among them.
QString log(int first, int last)
{
    QString text = QStringLiteral("heard at noon\r\n");
    for (int n = first; n < last; ++n)
        text += beacon(n) + QStringLiteral("\r\n");
    return text;
}

struct Totals {
    qint64 rows = 0;
    qint64 copies = 0;
    qint64 firstMs = 0;
    qint64 lastMs = 0;
};

Totals totals(const QString& path)
{
    Totals t;
    Archive archive;
    if (!archive.open(path, Archive::Access::ReadOnly, nullptr))
        return t;
    t.firstMs = std::numeric_limits<qint64>::max();
    archive.forEachRecord(
        std::numeric_limits<qint64>::min(), std::numeric_limits<qint64>::max(),
        [&](const ArchiveRecord& r) {
            ++t.rows;
            t.copies += r.copies;
            t.firstMs = std::min(t.firstMs, r.receivedMs);
            t.lastMs = std::max(t.lastMs, r.receivedMs);
            return true;
        },
        nullptr);
    return t;
}

} // namespace

class TestArchiveActions : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_folder;
    std::unique_ptr<MainWindow> m_window;

    QString archivePath() const { return m_folder->filePath(QStringLiteral("season.sqlite")); }
    QString label3() const { return m_window->findChild<StatusLabel*>(QStringLiteral("Label3"))->text(); }
    void paste(const QString& text)
    {
        auto* box = m_window->findChild<QPlainTextEdit*>(QStringLiteral("Text2"));
        box->setFocus();
        box->selectAll();
        box->insertPlainText(text);
    }
    // Add to Archive, answering its question by the keyboard: the time offered, or `at`, or Escape.
    void addToArchive(const QDateTime& at = QDateTime(), bool cancel = false)
    {
        auto* action = m_window->findChild<QAction*>(QStringLiteral("MnuAddToArchive"));
        QVERIFY(action);
        QTimer::singleShot(0, [=] {
            QWidget* dialog = QApplication::activeModalWidget();
            if (!dialog || dialog->objectName() != QStringLiteral("ReceivedDialog"))
                return;
            auto* edit = dialog->findChild<QDateTimeEdit*>(QStringLiteral("ReceivedTime"));
            if (at.isValid())
                edit->setDateTime(at);
            QTest::keyClick(edit, cancel ? Qt::Key_Escape : Qt::Key_Return);
        });
        action->trigger();
        // The add goes on beside the window; Add to Archive is offered again once it is done.
        QTRY_VERIFY_WITH_TIMEOUT(action->isEnabled(), 60000);
    }

private slots:
    void init()
    {
        m_folder = std::make_unique<QTemporaryDir>();
        QFile conf(m_folder->filePath(QStringLiteral("conf.ini")));
        QVERIFY(conf.open(QIODevice::WriteOnly));
        conf.write("ARCHIVE=season.sqlite\r\n");
        conf.close();
        m_window = std::make_unique<MainWindow>(m_folder->path());
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }
    void cleanup() { m_window.reset(); }

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

    // Undo Last Add takes back the window's own adds, last first, even after another program
    // added copies to the same records; with none left it is disabled.
    void undoLastAdd_data()
    {
        QTest::addColumn<bool>("toolBetween"); // orvik-tlm adds copies of the same beacons in between
        QTest::addRow("the window alone") << false;
        QTest::addRow("after the tool added copies") << true;
    }
    void undoLastAdd()
    {
        QFETCH(bool, toolBetween);
        auto* undo = m_window->findChild<QAction*>(QStringLiteral("MnuUndoAdd"));
        QVERIFY(undo);
        QVERIFY(!undo->isEnabled());
        paste(log(1, 4));
        addToArchive();
        const Totals first = totals(archivePath());
        paste(log(3, 7));
        addToArchive();
        QVERIFY(undo->isEnabled());
        if (toolBetween) {
            QProcess tool;
            tool.setStandardInputFile(QProcess::nullDevice());
            const QString path = m_folder->filePath(QStringLiteral("friend.log"));
            QFile friendLog(path);
            QVERIFY(friendLog.open(QIODevice::WriteOnly));
            friendLog.write(log(1, 7).toLatin1());
            friendLog.close();
            tool.start(QStringLiteral(ORVIK_TLM_PATH), {QStringLiteral("--archive"), archivePath(), path});
            QVERIFY(tool.waitForFinished());
            QCOMPARE(tool.exitCode(), 0);
        }
        const Totals before = totals(archivePath());
        QCOMPARE(before.rows, qint64(6));
        undo->trigger();
        // Beacon 3 came with the first add from the window already: the second brought 4 to 6.
        QCOMPARE(label3(),
                 toolBetween
                     ? QStringLiteral("Add 2 taken back: 3 copies; 0 records went, 3 were voted again")
                     : QStringLiteral("Add 2 taken back: 3 copies; 3 records went, 0 were voted again"));
        const Totals after = totals(archivePath());
        // Beacons 4 to 6 stay where the tool brought copies of them too.
        QCOMPARE(after.rows, toolBetween ? qint64(6) : first.rows);
        QCOMPARE(after.copies, before.copies - 3);
        QVERIFY(undo->isEnabled());
        undo->trigger();
        QVERIFY2(label3().startsWith(QStringLiteral("Add 1 taken back: 3 copies; ")), qPrintable(label3()));
        QVERIFY(!undo->isEnabled());
        QCOMPARE(totals(archivePath()).rows, toolBetween ? qint64(6) : qint64(0));
    }

    // Archive Adds… lists every add, the tool's too, and takes back the one chosen after asking;
    // No keeps it.
    void archiveAddsTakesBackAnyAdd_data()
    {
        QTest::addColumn<bool>("answerYes");
        QTest::addRow("taken back") << true;
        QTest::addRow("kept") << false;
    }
    void archiveAddsTakesBackAnyAdd()
    {
        QFETCH(bool, answerYes);
        paste(log(1, 4));
        addToArchive();
        const QString path = m_folder->filePath(QStringLiteral("friend.log"));
        QFile friendLog(path);
        QVERIFY(friendLog.open(QIODevice::WriteOnly));
        friendLog.write(log(3, 9).toLatin1());
        friendLog.close();
        QProcess tool;
        tool.start(QStringLiteral(ORVIK_TLM_PATH), {QStringLiteral("--archive"), archivePath(), path});
        QVERIFY(tool.waitForFinished());
        QCOMPARE(tool.exitCode(), 0);
        QCOMPARE(totals(archivePath()).rows, qint64(8));
        QStringList listed;
        // The dialog, then its question, answered by the keyboard.
        QTimer::singleShot(0, [&] {
            QWidget* dialog = QApplication::activeModalWidget();
            QVERIFY(dialog && dialog->objectName() == QStringLiteral("AddsDialog"));
            auto* list = dialog->findChild<QTreeWidget*>(QStringLiteral("AddsList"));
            for (int i = 0; i < list->topLevelItemCount(); ++i)
                listed << list->topLevelItem(i)->text(0) + QLatin1Char(' ') + list->topLevelItem(i)->text(2) +
                              QLatin1Char(' ') + list->topLevelItem(i)->text(3);
            list->setCurrentItem(list->topLevelItem(0));
            QTimer::singleShot(0, [&, dialog] {
                QWidget* question = QApplication::activeModalWidget();
                QVERIFY(question && question != dialog);
                auto* box = qobject_cast<QMessageBox*>(question);
                QVERIFY(box);
                box->button(answerYes ? QMessageBox::Yes : QMessageBox::No)->click();
                QTimer::singleShot(0, dialog, [dialog] { QTest::keyClick(dialog, Qt::Key_Escape); });
            });
            QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("TakeBack")), Qt::LeftButton);
        });
        m_window->findChild<QAction*>(QStringLiteral("MnuAdds"))->trigger();
        QCOMPARE(listed, (QStringList{"1 3 3", "2 5 6"}));
        const Totals t = totals(archivePath());
        QCOMPARE(t.rows, answerYes ? qint64(6) : qint64(8));
        QCOMPARE(t.copies, answerYes ? qint64(6) : qint64(9));
        if (answerYes)
            QCOMPARE(label3(),
                     QStringLiteral("Add 1 taken back: 3 copies; 2 records went, 1 was voted again"));
        // The window's own add is gone, so Undo Last Add has nothing left to take back.
        QCOMPARE(m_window->findChild<QAction*>(QStringLiteral("MnuUndoAdd"))->isEnabled(), !answerYes);
    }

    // While another program holds the archive's write lock, the window goes on taking keys and
    // says that it waits; once the lock is free the add is made.
    void waitsForTheArchiveWithoutFreezing()
    {
        paste(log(1, 3));
        addToArchive();
        QSqlDatabase holder = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("holder"));
        holder.setDatabaseName(archivePath());
        QVERIFY(holder.open());
        QSqlQuery lock(holder);
        QVERIFY(lock.exec(QStringLiteral("BEGIN IMMEDIATE")));
        paste(log(1, 6));
        auto* action = m_window->findChild<QAction*>(QStringLiteral("MnuAddToArchive"));
        QTimer::singleShot(0, [] { QTest::keyClick(QApplication::activeModalWidget(), Qt::Key_Return); });
        action->trigger();
        QTRY_VERIFY2_WITH_TIMEOUT(label3().startsWith(QStringLiteral("Waiting for the archive")),
                                  qPrintable(label3()), 3000);
        QVERIFY(!action->isEnabled());
        // The window takes keys meanwhile.
        auto* box = m_window->findChild<QPlainTextEdit*>(QStringLiteral("Text2"));
        QTest::keyClicks(box, QStringLiteral("73"));
        QVERIFY(box->toPlainText().endsWith(QStringLiteral("73")));
        QVERIFY(lock.exec(QStringLiteral("COMMIT")));
        lock = QSqlQuery();
        holder.close();
        holder = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("holder"));
        QTRY_VERIFY_WITH_TIMEOUT(action->isEnabled(), 10000);
        QCOMPARE(label3(), QStringLiteral("3 records added to %1; 2 were there already").arg(archivePath()));
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
