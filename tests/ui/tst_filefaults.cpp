// SPDX-License-Identifier: GPL-3.0-or-later
// The export folder and the screenshot folder missing, read-only or full: the status line
// says so, an older file stays as it was, and the window goes on working. Read-only and
// full folders are small tmpfs mounts, so those rows need root and are skipped without it.
// Then where IMAGE_PATH puts a capture, and what the converter is given.
#include "platform/services.h"
#include "ui/mainwindow.h"
#include "widgets/messagebox.h"

#include <QAction>
#include <QApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>

using namespace orvik;

namespace {

QString beaconLog(int lines)
{
    QStringList out;
    for (int i = 0; i < lines; ++i)
        out << QStringLiteral("orv1 %1 orv2 e55a0080 orv3 a0c880 orv4 0a141e28323c orv5 6e6f70717273 orv6 "
                              "7480ff6e400000000000000000000000000000000")
                   .arg(i + 1, 6, 16, QLatin1Char('0'));
    return out.join(QStringLiteral("\r\n"));
}

bool run(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    return p.waitForFinished() && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// A small tmpfs of its own, unmounted again at the end.
class ScratchMount {
public:
    explicit ScratchMount(const QString& size)
    {
        m_mounted =
            m_dir.isValid() && run(QStringLiteral("mount"),
                                   {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                                    QStringLiteral("size=") + size, QStringLiteral("tmpfs"), m_dir.path()});
    }
    ~ScratchMount()
    {
        if (m_mounted)
            run(QStringLiteral("umount"), {m_dir.path()});
    }
    bool mounted() const { return m_mounted; }
    QString path() const { return m_dir.path(); }
    bool makeReadOnly()
    {
        return run(QStringLiteral("mount"),
                   {QStringLiteral("-o"), QStringLiteral("remount,ro"), m_dir.path()});
    }

private:
    QTemporaryDir m_dir;
    bool m_mounted = false;
};

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestFileFaults : public QObject {
    Q_OBJECT
private slots:
    void faults_data();
    void faults();
    void imagePaths_data();
    void imagePaths();
    void installedCopy();
};

void TestFileFaults::faults_data()
{
    QTest::addColumn<QString>("target"); // "export" or "screenshot"
    QTest::addColumn<QString>("fault");  // "missing", "read-only" or "full"
    for (const char* target : {"export", "screenshot"}) {
        for (const char* fault : {"missing", "read-only", "full"}) {
            // A read-only program folder is an installed copy: see installedCopy().
            if (qstrcmp(target, "export") == 0 && qstrcmp(fault, "read-only") == 0)
                continue;
            QTest::addRow("%s folder %s", target, fault)
                << QString::fromLatin1(target) << QString::fromLatin1(fault);
        }
    }
}

void TestFileFaults::faults()
{
    QFETCH(QString, target);
    QFETCH(QString, fault);
    bool boxShown = false;
    setMessageBoxHandler(
        [&](QWidget*, const QString&, const QString&, QMessageBox::Icon) { boxShown = true; });
    auto restore = qScopeGuard([] { setMessageBoxHandler({}); });

    QTemporaryDir home;
    QVERIFY(home.isValid());
    std::unique_ptr<ScratchMount> mount;
    QString folder; // the folder that fails
    if (fault == u"missing") {
        folder = home.filePath(QStringLiteral("gone"));
    } else {
        mount = std::make_unique<ScratchMount>(QStringLiteral("16k"));
        if (!mount->mounted())
            QSKIP("mounting a scratch tmpfs needs root");
        folder = mount->path();
    }

    const bool exporting = target == u"export";
    const QString name = exporting ? QStringLiteral("orvik_telemetry.csv")
                                   : QStringLiteral("orv_") +
                                         QDate::currentDate().toString(QStringLiteral("ddMMyyyy")) +
                                         QStringLiteral(".bmp");
    const QString path = QDir::toNativeSeparators(folder) + QDir::separator() + name;
    const QByteArray old = "an earlier file\r\n";
    if (mount) {
        QVERIFY(writeFile(path, old));
        if (fault == u"full")
            writeFile(folder + QStringLiteral("/filler"), QByteArray(64 * 1024, 'x')); // fills what is left
        else
            QVERIFY(mount->makeReadOnly());
    }

    QString programFolder = folder;
    if (!exporting) {
        programFolder = home.path();
        QVERIFY(
            writeFile(home.filePath(QStringLiteral("conf.ini")),
                      QStringLiteral("IMAGE_PATH=%1/\r\n").arg(QDir::toNativeSeparators(folder)).toUtf8()));
    }
    MainWindow window(programFolder);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto* log = window.findChild<QPlainTextEdit*>(QStringLiteral("Text2"));
    log->setPlainText(beaconLog(100));

    if (exporting)
        window.findChild<QAction*>(QStringLiteral("WriteCSVFile"))->trigger();
    else
        QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("Command1")), Qt::LeftButton);

    const QString status = window.findChild<QLabel*>(QStringLiteral("Label3"))->text();
    QVERIFY2(status.startsWith("'" + path + QStringLiteral("' cannot be written: ")), qPrintable(status));
    QVERIFY(status.size() > path.size() + 25); // a reason follows
    QVERIFY(!status.contains(QStringLiteral(" saved")) &&
            !status.contains(QStringLiteral("has been written")));
    QVERIFY(!boxShown);
    QVERIFY(window.findChild<QPushButton*>(QStringLiteral("Command1"))->isVisible());
    if (mount)
        QCOMPARE(readFile(path), old);
    else
        QVERIFY(!QFile::exists(path));
    // Nothing half-written is left beside it.
    const QStringList left = QDir(folder).entryList(QDir::Files);
    QVERIFY2(left.size() <= 2, qPrintable(left.join(u',')));

    log->setPlainText(beaconLog(4));
    QCOMPARE(window.records().count(), 4);
}

// A program folder that is not writable: conf.ini comes from the user's configuration
// folder, the CSV goes to the documents folder and screenshots to the pictures folder.
void TestFileFaults::installedCopy()
{
    ScratchMount program(QStringLiteral("16k"));
    if (!program.mounted())
        QSKIP("mounting a scratch tmpfs needs root");
    const QString oldCsv = program.path() + QStringLiteral("/orvik_telemetry.csv");
    QVERIFY(writeFile(oldCsv, "an earlier file\r\n"));
    QVERIFY(program.makeReadOnly());

    QTemporaryDir home;
    const QByteArray savedHome = qgetenv("HOME");
    const QByteArray savedConfig = qgetenv("XDG_CONFIG_HOME");
    const QByteArray savedData = qgetenv("XDG_DATA_HOME");
    auto restore = qScopeGuard([&] {
        qputenv("HOME", savedHome);
        for (const auto& [name, value] : {
                 std::pair{"XDG_CONFIG_HOME", savedConfig},
                 std::pair{"XDG_DATA_HOME",   savedData  }
        }) {
            if (value.isNull())
                qunsetenv(name);
            else
                qputenv(name, value);
        }
    });
    qputenv("HOME", QFile::encodeName(home.path()));
    qunsetenv("XDG_CONFIG_HOME");
    qunsetenv("XDG_DATA_HOME");
    QVERIFY(QDir().mkpath(home.filePath(QStringLiteral(".config/orvik"))));
    QVERIFY(writeFile(home.filePath(QStringLiteral(".config/orvik/conf.ini")),
                      "SCREENSHOT=NO\r\nIMAGE_PATH=shots/\r\nARCHIVE=season.sqlite\r\n"));

    MainWindow window(program.path());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(!window.findChild<QPushButton*>(QStringLiteral("Command1"))->isVisible());
    // A relative IMAGE_PATH is taken from the pictures folder, not from /usr/bin.
    QCOMPARE(window.imagePath(), home.filePath(QStringLiteral("Pictures/shots/")));
    window.findChild<QPlainTextEdit*>(QStringLiteral("Text2"))->setPlainText(beaconLog(2));
    window.findChild<QAction*>(QStringLiteral("WriteCSVFile"))->trigger();
    const QString csv = home.filePath(QStringLiteral("Documents/orvik_telemetry.csv"));
    QCOMPARE(window.findChild<QLabel*>(QStringLiteral("Label3"))->text(),
             QDir::toNativeSeparators(csv) + QStringLiteral(" has been written"));
    QCOMPARE(readFile(csv).count("\r\n"), 3);
    QCOMPARE(readFile(oldCsv), QByteArray("an earlier file\r\n"));
    // A new user has no pictures folder yet: the screenshot makes it, as the export made the
    // documents folder.
    QVERIFY(!QFileInfo::exists(home.filePath(QStringLiteral("Pictures"))));
    setMessageBoxHandler([](QWidget*, const QString&, const QString&, QMessageBox::Icon) {});
    auto noBoxes = qScopeGuard([] { setMessageBoxHandler({}); });
    window.findChild<QPushButton*>(QStringLiteral("Command1"))->click();
    QVERIFY2(window.findChild<QLabel*>(QStringLiteral("Label3"))->text().endsWith(QStringLiteral(" saved")),
             qPrintable(window.findChild<QLabel*>(QStringLiteral("Label3"))->text()));
    QCOMPARE(QDir(home.filePath(QStringLiteral("Pictures/shots"))).entryList(QDir::Files).size(), 1);

    // A relative ARCHIVE is taken from the user's data folder, beside the default archive.
    QTimer::singleShot(0, [] { QTest::keyClick(QApplication::activeModalWidget(), Qt::Key_Return); });
    window.findChild<QAction*>(QStringLiteral("MnuAddToArchive"))->trigger();
    QTRY_VERIFY(window.findChild<QAction*>(QStringLiteral("MnuAddToArchive"))->isEnabled());
    const QString archive = home.filePath(QStringLiteral(".local/share/orvik/season.sqlite"));
    QVERIFY2(window.findChild<QLabel*>(QStringLiteral("Label3"))
                 ->text()
                 .contains(QDir::toNativeSeparators(archive)),
             qPrintable(window.findChild<QLabel*>(QStringLiteral("Label3"))->text()));
    QVERIFY(QFileInfo::exists(archive));
}

void TestFileFaults::imagePaths_data()
{
    QTest::addColumn<QString>("imagePath"); // the IMAGE_PATH value; null: no conf.ini
    QTest::addColumn<QString>("prefix");    // under the program folder; null: no such folder here

    QTest::addRow("no conf.ini") << QString() << "/";
    QTest::addRow("empty value") << ""
                                 << "/";
    QTest::addRow("relative folder") << "shots/"
                                     << "/shots/";
    QTest::addRow("relative prefix") << "shots/day-"
                                     << "/shots/day-";
    QTest::addRow("looks like option -D") << "-D"
                                          << "/-D";
    QTest::addRow("looks like option -out") << "-out"
                                            << "/-out";
    QTest::addRow("drive letter") << "Z:\\shots\\" << QString();
    QTest::addRow("drive letter, slashes") << "z:/shots/" << QString();
    QTest::addRow("network share") << "\\\\server\\share\\" << QString();
}

void TestFileFaults::imagePaths()
{
    QFETCH(QString, imagePath);
    QFETCH(QString, prefix);
    QStringList shown;
    setMessageBoxHandler(
        [&](QWidget*, const QString& text, const QString&, QMessageBox::Icon) { shown << text; });
    auto restore = qScopeGuard([] { setMessageBoxHandler({}); });

    // The window starts from a folder of its own and is given its program folder relative
    // to it. Where a capture is expected, a stand-in converter records its arguments, one a
    // line; elsewhere none is found, so that starting one would show a message.
    QTemporaryDir home;
    QVERIFY(home.isValid());
    const QDir root(home.path());
    for (const char* folder : {"start", "prog/shots", "bin"})
        QVERIFY(root.mkpath(QString::fromLatin1(folder)));
    const QString bin = root.filePath(QStringLiteral("bin"));
    const QString args = root.filePath(QStringLiteral("args"));
    if (!prefix.isNull()) {
        QVERIFY(writeFile(
            bin + QStringLiteral("/nconvert"),
            QStringLiteral("#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > '%1.part'\n"
                           "mv '%1.part' '%1'\n")
                .arg(args)
                .toUtf8()));
        QVERIFY(QFile::setPermissions(bin + QStringLiteral("/nconvert"),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    }
    if (!imagePath.isNull())
        QVERIFY(
            writeFile(root.filePath(QStringLiteral("prog/conf.ini")), "IMAGE_PATH=" + imagePath.toUtf8()));
    const QString oldCurrent = QDir::currentPath();
    const QByteArray oldPath = qgetenv("PATH");
    auto back = qScopeGuard([&] {
        QDir::setCurrent(oldCurrent);
        qputenv("PATH", oldPath);
    });
    QVERIFY(QDir::setCurrent(root.filePath(QStringLiteral("start"))));
    qputenv("PATH", prefix.isNull() ? bin.toUtf8() : bin.toUtf8() + ':' + oldPath);

    MainWindow window(QStringLiteral("../prog"));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("Command1")), Qt::LeftButton);

    const QString name = QStringLiteral("orv_") + QDate::currentDate().toString(QStringLiteral("ddMMyyyy")) +
                         QStringLiteral(".bmp");
    const QString status = window.findChild<QLabel*>(QStringLiteral("Label3"))->text();
    QVERIFY(window.findChild<QPushButton*>(QStringLiteral("Command1"))->isVisible());
    if (prefix.isNull()) {
        QCOMPARE(status, "'" + imagePath + name + QStringLiteral("' cannot be written: the folder ") +
                             imagePath + QStringLiteral(" does not exist on this system"));
        QVERIFY2(shown.isEmpty(), qPrintable(shown.join(u','))); // no converter asked for
        // No file of that odd name anywhere.
        QCOMPARE(
            QDir(root.filePath(QStringLiteral("start"))).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
            QStringList());
        QCOMPARE(QDir(root.filePath(QStringLiteral("prog"))).entryList(QDir::Files), QStringList{"conf.ini"});
        return;
    }
    const QString bitmap = QDir::toNativeSeparators(root.filePath(QStringLiteral("prog") + prefix + name));
    QCOMPARE(status, bitmap + QStringLiteral(" saved"));
    QVERIFY(!QImage(bitmap, "BMP").isNull());
    QVERIFY(shown.isEmpty());
    QTRY_VERIFY(QFile::exists(args));
    const QStringList got = QString::fromUtf8(readFile(args)).split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(got.mid(got.size() - 2), (QStringList{"-D", bitmap}));
}

QTEST_MAIN(TestFileFaults)
#include "tst_filefaults.moc"
