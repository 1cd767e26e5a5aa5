// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/confreader.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>

using orvik::readConf;

class TestConfReader : public QObject {
    Q_OBJECT
private slots:
    void settings_data();
    void settings();
    void file_data();
    void file();
    void archive_data();
    void archive();
};

namespace {
constexpr int kAbsent = -1;
const QString kNoPath = QStringLiteral("<absent>");
} // namespace

void TestConfReader::settings_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("imagePath");
    QTest::addColumn<int>("screenshot");

    QTest::addRow("empty text") << "" << kNoPath << kAbsent;
    QTest::addRow("empty lines only") << "\r\n\r\n\n\r" << kNoPath << kAbsent;
    QTest::addRow("comment holding =") << "#IMAGE_PATH=c:\\x\\\r\n# SCREENSHOT=NO" << kNoPath << kAbsent;
    QTest::addRow("path keeps its letter case") << "image_path=c:\\Temp"
                                                << "c:\\Temp" << kAbsent;
    QTest::addRow("spaces trimmed, later = in value") << "  IMAGE_PATH  =  e:\\a=b\\  "
                                                      << "e:\\a=b\\" << kAbsent;
    QTest::addRow("empty value") << "IMAGE_PATH="
                                 << "" << kAbsent;
    QTest::addRow("value of spaces") << "IMAGE_PATH=    "
                                     << "" << kAbsent;
    QTest::addRow("tab stays in key") << "IMAGE_PATH\t=x" << kNoPath << kAbsent;
    QTest::addRow("tabs stay in value") << "IMAGE_PATH= \tx\t "
                                        << "\tx\t" << kAbsent;
    QTest::addRow("text after value") << "IMAGE_PATH=c:\\x\\ # shots"
                                      << "c:\\x\\ # shots" << kAbsent;
    QTest::addRow("no separator added") << "IMAGE_PATH=/home/ham/shots"
                                        << "/home/ham/shots" << kAbsent;
    QTest::addRow("inner space in key") << "IMAGE PATH=x" << kNoPath << kAbsent;
    QTest::addRow("key without underscore") << "IMAGEPATH=x" << kNoPath << kAbsent;
    QTest::addRow("line starting with =") << "=YES\r\n= SCREENSHOT" << kNoPath << kAbsent;
    QTest::addRow("space then # is a setting") << " #IMAGE_PATH=x\r\n #x=1" << kNoPath << kAbsent;
    QTest::addRow("leading space before key") << " IMAGE_PATH=x"
                                              << "x" << kAbsent;
    QTest::addRow("yes in any case") << "screenshot = yEs " << kNoPath << 1;
    QTest::addRow("NO") << "SCREENSHOT=NO" << kNoPath << 0;
    QTest::addRow("Y") << "SCREENSHOT=Y" << kNoPath << 0;
    QTest::addRow("empty screenshot value") << "SCREENSHOT=" << kNoPath << 0;
    QTest::addRow("YES with a tab") << "SCREENSHOT=\tYES" << kNoPath << 0;
    QTest::addRow("YES and more") << "SCREENSHOT=YES YES" << kNoPath << 0;
    QTest::addRow("later lines win") << "SCREENSHOT=YES\r\nIMAGE_PATH=a\r\nIMAGE_PATH=b\r\nSCREENSHOT=NO"
                                     << "b" << 0;
    QTest::addRow("line without = changes nothing")
        << "IMAGE_PATH=a\r\nd:\\other\\\r\nSCREENSHOT=NO\r\nYES\r\n   "
        << "a" << 0;
    QTest::addRow("lone CR ends a line") << "IMAGE_PATH=a\rSCREENSHOT=yes"
                                         << "a" << 1;
    QTest::addRow("lone LF ends a line") << "IMAGE_PATH=a\nSCREENSHOT=yes\n"
                                         << "a" << 1;
    QTest::addRow("line end not in value") << "IMAGE_PATH=a \r\nSCREENSHOT=yes\r\n"
                                           << "a" << 1;
    QTest::addRow("NUL inside value")
        << QStringLiteral("IMAGE_PATH=a%1b").arg(QChar(0)) << QString("a") + QChar(0) + "b" << kAbsent;
    QTest::addRow("NUL before key") << QString(QChar(0)) + "SCREENSHOT=YES" << kNoPath << kAbsent;
    QTest::addRow("byte-order mark") << QString(QChar(0xFEFF)) + "SCREENSHOT=YES" << kNoPath << 1;
    const QString huge(10 * 1024 * 1024, u'=');
    QTest::addRow("10 MB line") << "IMAGE_PATH=" + huge + "\nSCREENSHOT=yes" << huge << 1;
    QString junk;
    quint32 x = 2463534242u;
    for (int i = 0; i < 100000; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        // Any code unit but the line ends, so the junk stays on its line.
        junk += (char16_t(x) == u'\r' || char16_t(x) == u'\n') ? QChar(u'?') : QChar(char16_t(x));
    }
    QTest::addRow("binary junk around a setting")
        << junk + "\r\nIMAGE_PATH=kept\r\n" + junk << "kept" << kAbsent;
    QTest::addRow("look-alike letter in key")
        << QString::fromUtf8("\u017FCREENSHOT=YES") << kNoPath << kAbsent;
    QTest::addRow("look-alike letter in YES") << QString::fromUtf8("SCREENSHOT=Y\u0395S") << kNoPath << 0;
}

void TestConfReader::settings()
{
    QFETCH(QString, text);
    QFETCH(QString, imagePath);
    QFETCH(int, screenshot);

    const orvik::StartupSettings s = readConf(text);
    QCOMPARE(s.imagePath.value_or(kNoPath), imagePath);
    QCOMPARE(s.screenshotButton.has_value() ? int(*s.screenshotButton) : kAbsent, screenshot);
}

namespace {

// Comment lines that fill a file up to byte offset `at`, so that the next line starts there.
QByteArray paddingTo(qsizetype at, QByteArray head = {})
{
    while (head.size() < at) {
        const qsizetype line = std::min<qsizetype>(at - head.size(), 80);
        head += line == 1 ? QByteArray("\n") : "#" + QByteArray(line - 2, '-') + "\n";
    }
    return head;
}

QByteArray utf16(const QString& text, bool littleEndian)
{
    QByteArray out = littleEndian ? "\xFF\xFE" : "\xFE\xFF";
    for (const QChar c : text) {
        const char low = char(c.unicode() & 0xFF), high = char(c.unicode() >> 8);
        out.append(littleEndian ? low : high).append(littleEndian ? high : low);
    }
    return out;
}

} // namespace

void TestConfReader::archive_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("archive");
    QTest::addRow("none") << "IMAGE_PATH=/x/\r\nSCREENSHOT=NO" << kNoPath;
    QTest::addRow("letter case kept, blanks trimmed") << "archive =  /home/Ham/Season.sqlite "
                                                      << "/home/Ham/Season.sqlite";
    QTest::addRow("the last wins") << "ARCHIVE=a.sqlite\nARCHIVE=b.sqlite"
                                   << "b.sqlite";
    QTest::addRow("comment") << "#ARCHIVE=a.sqlite" << kNoPath;
}

void TestConfReader::archive()
{
    QFETCH(QString, text);
    QFETCH(QString, archive);
    QCOMPARE(readConf(text).archivePath.value_or(kNoPath), archive);
}

void TestConfReader::file_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("imagePath");
    QTest::addColumn<int>("screenshot");

    const qsizetype limit = orvik::kConfFileLimit;
    QTest::addRow("UTF-8") << QByteArray("IMAGE_PATH=/srv/caf\xC3\xA9/") << "/srv/café/" << kAbsent;
    QTest::addRow("Windows 8-bit text")
        << QByteArray("IMAGE_PATH=/srv/caf\xE9/\r\nSCREENSHOT=YES\r\n") << "/srv/café/" << 1;
    QTest::addRow("one stray byte makes it all Latin-1")
        << QByteArray("IMAGE_PATH=/\xC3\xA9/\r\n#caf\xE9") << "/Ã©/" << kAbsent;
    QTest::addRow("UTF-8 byte-order mark") << QByteArray("\xEF\xBB\xBFSCREENSHOT=YES") << kNoPath << 1;
    QTest::addRow("UTF-8 byte-order mark, a stray byte later")
        << QByteArray("\xEF\xBB\xBFSCREENSHOT=YES\r\n#caf\xE9") << kNoPath << 1;
    const QString both = QStringLiteral("IMAGE_PATH=/srv/café/\r\nSCREENSHOT=YES\r\n");
    QTest::addRow("UTF-16LE") << utf16(both, true) << "/srv/café/" << 1;
    QTest::addRow("UTF-16BE") << utf16(both, false) << "/srv/café/" << 1;
    QTest::addRow("setting after 64 KiB ignored")
        << paddingTo(limit + 100, "SCREENSHOT=NO\r\n") + "IMAGE_PATH=/beyond/\r\n"
        << kNoPath << 0;
    QTest::addRow("setting cut at 64 KiB not taken half")
        << paddingTo(limit - 14) + "IMAGE_PATH=/abcdefgh/\r\nSCREENSHOT=YES" << kNoPath << kAbsent;
    QTest::addRow("setting ending at 64 KiB taken")
        << paddingTo(limit - 16) + "IMAGE_PATH=/ab/\nSCREENSHOT=YES"
        << "/ab/" << kAbsent;
    QTest::addRow("CR at 64 KiB, LF after it") << paddingTo(limit - 16) + "IMAGE_PATH=/ab/\r\nSCREENSHOT=YES"
                                               << "/ab/" << kAbsent;
    QTest::addRow("file of 64 KiB, no final line end") << paddingTo(limit - 15) + "IMAGE_PATH=/ab/"
                                                       << "/ab/" << kAbsent;
    QTest::addRow("UTF-8 character cut at 64 KiB")
        << paddingTo(limit - 2, "IMAGE_PATH=/caf\xC3\xA9/\n") + "#\xC3\xA9\n"
        << "/café/" << kAbsent;
    QTest::addRow("UTF-16 setting cut at 64 KiB")
        << utf16(QString::fromLatin1(paddingTo(limit / 2 - 1 - 7, "SCREENSHOT=YES\r\n")) +
                     QStringLiteral("IMAGE_PATH=/abcdefgh/"),
                 true)
        << kNoPath << 1;
}

void TestConfReader::file()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, imagePath);
    QFETCH(int, screenshot);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QFile file(dir.filePath(QStringLiteral("conf.ini")));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    file.close();

    const orvik::StartupSettings s = orvik::readConfFile(file.fileName());
    QCOMPARE(s.imagePath.value_or(kNoPath), imagePath);
    QCOMPARE(s.screenshotButton.has_value() ? int(*s.screenshotButton) : kAbsent, screenshot);
}

QTEST_APPLESS_MAIN(TestConfReader)
#include "tst_confreader.moc"
