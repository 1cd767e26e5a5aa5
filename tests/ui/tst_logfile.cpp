// SPDX-License-Identifier: GPL-3.0-or-later
// The log as a file: File > Open Log in each text encoding, Save Log As, and the question
// before a typed or pasted log is thrown away.
#include "mainwindowfixture.h"
#include "ui/trends/trendwindow.h"

#include <QAbstractScrollArea>
#include <QCheckBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QScreen>
#include <QStringDecoder>
#include <QTimer>
#include <optional>

using namespace orvik;
using namespace orvik::testing;

namespace {

// Answers the file dialog that opens next with `path` typed into it, or cancels it.
void answerFileDialog(const QString& path)
{
    QTimer::singleShot(0, [path] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        if (path.isEmpty()) {
            QTest::keyClick(dialog, Qt::Key_Escape);
            return;
        }
        auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        QVERIFY(edit);
        edit->setText(path);
        QTest::keyClick(edit, Qt::Key_Return);
    });
}

// Answers the question about the log with the button, and then the file dialog that follows
// it, if one does: the one to save the log, or the one to open another.
void answerQuestion(QMessageBox::StandardButton answer, std::optional<QString> dialogPath = std::nullopt)
{
    QTimer::singleShot(0, [answer, dialogPath] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        QVERIFY(box);
        QCOMPARE(box->objectName(), QStringLiteral("DropLogQuestion"));
        if (dialogPath)
            answerFileDialog(*dialogPath);
        box->button(answer)->click();
    });
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestLogFile : public QObject, protected MainWindowFixture {
    Q_OBJECT
private slots:
    void init() { start(); }
    void cleanup() { stop(); }

    void openLog_data();
    void openLog();
    void openLogThatCannotBeRead();
    void saveLogAs();
    void exitAsks_data();
    void exitAsks();
    void openAsksFirst();
    void droppedFileOpens_data();
    void droppedFileOpens();
    void rememberedAcrossARestart();
    void trendsRemembered_data();
    void trendsRemembered();
    void recentLogsAreEightAtMost();
    void settingsThatCannotBeUsed_data();
    void settingsThatCannotBeUsed();

private:
    QString logFile(int n)
    {
        const QString path = m_folder->filePath(QStringLiteral("pass %1.txt").arg(n));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(log(n, 100 * n).toUtf8()) <= 0)
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }
    QStringList recentEntries() const
    {
        QStringList out;
        for (const QAction* a : child<QMenu>(QStringLiteral("MnuRecentLogs"))->actions())
            out << a->text();
        return out;
    }
};

void TestLogFile::openLog_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("records");
    const QString text = QStringLiteral("# Orvik, 19:53 \u00b0C\r\n") + log(3, 1) + QStringLiteral("\r\n");
    QTest::addRow("UTF-8, CR LF") << text.toUtf8() << 3;
    QByteArray le("\xff\xfe");
    QByteArray be("\xfe\xff");
    for (const QChar c : text) {
        le += char(c.unicode() & 0xff);
        le += char(c.unicode() >> 8);
        be += char(c.unicode() >> 8);
        be += char(c.unicode() & 0xff);
    }
    QTest::addRow("UTF-16 LE with its mark") << le << 3;
    QTest::addRow("UTF-16 BE with its mark") << be << 3;
    QTest::addRow("8-bit text") << text.toLatin1() << 3;
    QTest::addRow("LF alone, no end") << log(2, 7, QStringLiteral("\n")).toUtf8() << 2;
}

void TestLogFile::openLog()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, records);
    const QString path = m_folder->filePath(QStringLiteral("pass 1.txt"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    file.close();
    answerFileDialog(path);
    child<QAction>(QStringLiteral("MnuOpenLog"))->trigger();
    QCOMPARE(m_window->records().count(), records);
    QCOMPARE(value(0)->text(),
             QStringLiteral("%1 => 0d 00:00:%2").arg(records == 3 ? 1 : 7).arg(records == 3 ? "01" : "07"));
    QVERIFY2(label3().startsWith(QDir::toNativeSeparators(path) + QStringLiteral(" opened: ")),
             qPrintable(label3()));
    if (bytes.startsWith("#"))
        QVERIFY2(logBox()->toPlainText().startsWith(QStringLiteral("# Orvik, 19:53 \u00b0C\n")),
                 qPrintable(logBox()->toPlainText().left(30)));
    // A log opened from a file is kept there: leaving asks nothing.
    child<QAction>(QStringLiteral("MnuExit"))->trigger();
    QVERIFY(!m_window->isVisible());
}

void TestLogFile::openLogThatCannotBeRead()
{
    paste(log(2));
    QVERIFY(m_window->openLog(m_folder->path()) == false);
    QVERIFY(!m_window->openLog(m_folder->filePath(QStringLiteral("missing.txt"))));
    QVERIFY2(label3().endsWith(QStringLiteral(" cannot be read; the log is as it was")),
             qPrintable(label3()));
    QCOMPARE(m_window->records().count(), 2);
}

void TestLogFile::saveLogAs()
{
    const QString text = QStringLiteral("heard \u00e4t noon\n") + log(4, 2, QStringLiteral("\n"));
    paste(text);
    const QString path = m_folder->filePath(QStringLiteral("saved pass.txt"));
    answerFileDialog(path);
    QTest::keySequence(m_window.get(), QKeySequence(Qt::CTRL | Qt::Key_S));
    // The box's lines, each ended as the window ends them, CR LF.
    QCOMPARE(readAll(path), QString(text).replace(u'\n', QStringLiteral("\r\n")).toUtf8());
    QCOMPARE(label3(), QDir::toNativeSeparators(path) + QStringLiteral(" has been written"));
    // Saved, it is asked about no more.
    child<QAction>(QStringLiteral("MnuExit"))->trigger();
    QVERIFY(!m_window->isVisible());
}

void TestLogFile::exitAsks_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("saveDialogCancelled");
    QTest::addColumn<bool>("closed");
    QTest::addColumn<bool>("saved");
    QTest::addRow("cancel") << int(QMessageBox::Cancel) << false << false << false;
    QTest::addRow("discard") << int(QMessageBox::Discard) << false << true << false;
    QTest::addRow("save") << int(QMessageBox::Save) << false << true << true;
    QTest::addRow("save, then cancel the file") << int(QMessageBox::Save) << true << false << false;
}

void TestLogFile::exitAsks()
{
    QFETCH(int, answer);
    QFETCH(bool, saveDialogCancelled);
    QFETCH(bool, closed);
    QFETCH(bool, saved);
    paste(log(3));
    const QString path = m_folder->filePath(QStringLiteral("kept.txt"));
    const auto button = QMessageBox::StandardButton(answer);
    answerQuestion(button, button == QMessageBox::Save ? std::optional(saveDialogCancelled ? QString() : path)
                                                       : std::nullopt);
    QTest::keySequence(m_window.get(), QKeySequence(Qt::CTRL | Qt::Key_Q));
    QCOMPARE(!m_window->isVisible(), closed);
    QCOMPARE(QFile::exists(path), saved);
    if (saved)
        QCOMPARE(readAll(path), log(3).toUtf8()); // as pasted, line ends and all
    QCOMPARE(m_window->records().count(), 3);
}

void TestLogFile::openAsksFirst()
{
    paste(log(5));
    const QString other = m_folder->filePath(QStringLiteral("other.txt"));
    QFile file(other);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(log(2, 40).toUtf8()) > 0);
    file.close();
    // Cancel keeps the pasted log; Discard lets the file replace it.
    answerQuestion(QMessageBox::Cancel);
    child<QAction>(QStringLiteral("MnuOpenLog"))->trigger();
    QCOMPARE(m_window->records().count(), 5);
    answerQuestion(QMessageBox::Discard, other);
    child<QAction>(QStringLiteral("MnuOpenLog"))->trigger();
    QCOMPARE(m_window->records().count(), 2);
}

void TestLogFile::droppedFileOpens_data()
{
    QTest::addColumn<QString>("target"); // the widget dropped on
    QTest::addColumn<int>("files");
    QTest::addRow("on the log box") << "Text2" << 1;
    QTest::addRow("on a panel") << "Frame2" << 1;
    QTest::addRow("two on the chart") << "MSChart1" << 2;
}

void TestLogFile::droppedFileOpens()
{
    QFETCH(QString, target);
    QFETCH(int, files);
    QList<QUrl> urls;
    for (int i = 0; i < files; ++i) {
        const QString path = m_folder->filePath(QStringLiteral("dropped %1.txt").arg(i));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(log(4 + i, 9).toUtf8()) > 0);
        file.close();
        urls << QUrl::fromLocalFile(path);
    }
    QMimeData data;
    data.setUrls(urls);
    data.setText(urls.first().toString()); // as file managers give it too
    // The widget a drag over the target reaches, as Qt finds it: the first that takes drops.
    QWidget* on = child<QWidget>(target);
    if (auto* area = qobject_cast<QAbstractScrollArea*>(on))
        on = area->viewport();
    const QPoint at = on->mapTo(m_window.get(), on->rect().center());
    while (!on->acceptDrops())
        on = on->parentWidget();
    const QPoint local = on->mapFrom(m_window.get(), at);
    QDragEnterEvent enter(local, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(on, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(local), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(on, &drop);
    QTRY_COMPARE(m_window->records().count(), 4);
    QVERIFY2(!logBox()->toPlainText().contains(QStringLiteral("file:")),
             qPrintable(logBox()->toPlainText().left(80)));
    QVERIFY2(label3().contains(QStringLiteral("dropped 0.txt opened: 4 records")), qPrintable(label3()));
    QCOMPARE(label3().startsWith(QStringLiteral("2 files dropped; the first is opened: ")), files == 2);
}

// The place of the window, the last folder and the recent logs outlive the window; conf.ini is
// never written.
void TestLogFile::rememberedAcrossARestart()
{
    const QString first = logFile(1);
    const QString second = logFile(2);
    answerFileDialog(first);
    child<QAction>(QStringLiteral("MnuOpenLog"))->trigger();
    QVERIFY(m_window->openLog(second));
    m_window->move(37, 41);
    const QStringList entries{QStringLiteral("&1 ") + QDir::toNativeSeparators(second),
                              QStringLiteral("&2 ") + QDir::toNativeSeparators(first)};
    QCOMPARE(recentEntries(), entries);
    child<QAction>(QStringLiteral("MnuExit"))->trigger();
    QVERIFY(!m_window->isVisible());

    makeWindow();
    QCOMPARE(recentEntries(), entries);
    QCOMPARE(m_window->pos(), QPoint(37, 41));
    child<QAction>(QStringLiteral("RecentLog2"))->trigger();
    QCOMPARE(m_window->records().count(), 1);
    QVERIFY2(label3().startsWith(QDir::toNativeSeparators(first) + QStringLiteral(" opened")),
             qPrintable(label3()));
    QVERIFY(!QFileInfo::exists(m_folder->filePath(QStringLiteral("conf.ini"))));
}

// The Trends window's size, channels and clock, as left at exit or as the file holds them.
void TestLogFile::trendsRemembered_data()
{
    QTest::addColumn<QByteArray>("file"); // empty: set in the window before an exit
    QTest::addColumn<std::vector<int>>("channels");
    QTest::addColumn<bool>("onBoard");
    QTest::addColumn<QSize>("size");
    QTest::addRow("left at exit") << QByteArray() << std::vector<int>{13, 27} << true << QSize(1040, 430);
    QTest::addRow("numbers that are no channel's")
        << QByteArray("[trends]\nchannels=30 31 -1 x 30 0\nonBoard=false\nsize=@Size(1000 520)\n")
        << std::vector<int>{0, 30} << false << QSize(1000, 520);
    QTest::addRow("a size beyond the screen")
        << QByteArray("[trends]\nchannels=11\nonBoard=true\nsize=@Size(90000 90000)\n")
        << std::vector<int>{11} << true << QSize(90000, 90000);
}

void TestLogFile::trendsRemembered()
{
    QFETCH(QByteArray, file);
    QFETCH(std::vector<int>, channels);
    QFETCH(bool, onBoard);
    QFETCH(QSize, size);
    if (file.isEmpty()) {
        child<QAction>(QStringLiteral("MnuTrends"))->trigger();
        auto* trends = m_window->findChild<TrendWindow*>();
        QVERIFY(trends);
        trends->setChosenChannels(channels);
        trends->findChild<QCheckBox*>(QStringLiteral("TrendOnBoard"))->setChecked(onBoard);
        trends->resize(size);
        child<QAction>(QStringLiteral("MnuExit"))->trigger();
    } else {
        QFile settings(m_folder->filePath(QStringLiteral("orvik-decoder.ini")));
        QVERIFY(settings.open(QIODevice::WriteOnly) && settings.write(file) == file.size());
    }
    makeWindow();
    child<QAction>(QStringLiteral("MnuTrends"))->trigger();
    auto* trends = m_window->findChild<TrendWindow*>();
    QVERIFY(trends);
    QCOMPARE(trends->chosenChannels(), channels);
    QCOMPARE(trends->findChild<QCheckBox*>(QStringLiteral("TrendOnBoard"))->isChecked(), onBoard);
    // As wanted, within the screen, and never below what the window needs.
    const QSize room = trends->screen()->availableSize();
    QCOMPARE(trends->size(), size.boundedTo(room).expandedTo(trends->minimumSizeHint()));
    QVERIFY(trends->height() <= std::max(room.height(), trends->minimumSizeHint().height()));
}

void TestLogFile::recentLogsAreEightAtMost()
{
    for (int n = 1; n <= 10; ++n)
        QVERIFY(m_window->openLog(logFile(n)));
    QVERIFY(m_window->openLog(logFile(7))); // again: it moves to the top, and is there once
    const QStringList entries = recentEntries();
    QCOMPARE(entries.size(), 8);
    QVERIFY(entries.first().endsWith(QStringLiteral("pass 7.txt")));
    QVERIFY(entries.last().endsWith(QStringLiteral("pass 3.txt"))); // 7, 10, 9, 8, 6, 5, 4, 3
    QCOMPARE(entries.filter(QStringLiteral("pass 7.txt")).size(), 1);
}

void TestLogFile::settingsThatCannotBeUsed_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addRow("bytes of no settings file") << QByteArray("\x00\xff\xfe[[[=\n\x01garbage", 16);
    QTest::addRow("a place on no screen") << QByteArray("[window]\nposition=@Point(-90000 -90000)\n");
    QTest::addRow("recent logs of another kind") << QByteArray("[log]\nrecent=@Variant(\\0\\0\\0\\x7f)\n");
}

void TestLogFile::settingsThatCannotBeUsed()
{
    QFETCH(QByteArray, file);
    QFile settings(m_folder->filePath(QStringLiteral("orvik-decoder.ini")));
    QVERIFY(settings.open(QIODevice::WriteOnly) && settings.write(file) == file.size());
    settings.close();
    makeWindow();
    QVERIFY(m_window->isVisible());
    QVERIFY(QGuiApplication::screenAt(m_window->pos()) != nullptr);
    QCOMPARE(recentEntries(), QStringList());
    QVERIFY(!child<QMenu>(QStringLiteral("MnuRecentLogs"))->isEnabled());
}

QTEST_MAIN(TestLogFile)
#include "tst_logfile.moc"
