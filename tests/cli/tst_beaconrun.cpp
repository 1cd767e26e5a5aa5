// SPDX-License-Identifier: GPL-3.0-or-later
// The one reader of orvik-tlm: --recover --check explains every line as --check does, then
// tells what the recovery did, and the recovery gets every line that is not cut.
#include "support/tlmtestdata.h"
#include "windowexport.h"

#include <QRegularExpression>
#include <QTest>
#include <random>

namespace {

const QByteArray kWords = "not decoded: |decoded, but check: ";
const QByteArray kRecoveryWords = "recovered record \\d+ from |not recovered: |record \\d+ stands alone: ";

QByteArray dropAt(int pos) { return QByteArray(kGood).remove(pos - 1, 1); }
QByteArray log(const QByteArrayList& lines) { return lines.join("\r\n") + "\r\n"; }

// Lines of a strict --check explanation, then the recovery's.
const QByteArrayList kExplained{kGood + " ", over(39, "xxxx"), over(36, "zz"),
                                dropAt(33),  kGood.toUpper(),  "orv1 and more"};

// Lines near a beacon line, as copies come: characters lost, gained and changed, blanks at the
// end, letter case, characters beyond ASCII (a UTF-8 sequence may be cut), other lengths.
QByteArrayList variedLines(unsigned seed, int count)
{
    std::minstd_rand next(seed);
    const auto pick = [&](int n) { return int(next() % unsigned(n)); };
    const QByteArrayList extras{"z", " ", "\t", "\xC3\xA9", "\xF0\x9F\x98\x80", "orv", "ORV1", "\xEF\xBB\xBF",
                                "-", "0", "g"};
    QByteArrayList lines;
    for (int i = 0; i < count; ++i) {
        QByteArray line = beacon(pick(0x1000000));
        for (int edits = pick(4); edits > 0; --edits) {
            switch (pick(6)) {
            case 0: line.remove(pick(int(line.size())), 1 + pick(3)); break;
            case 1: line.insert(pick(int(line.size()) + 1), extras[pick(int(extras.size()))]); break;
            case 2: line[pick(int(line.size()))] = "0123456789abcdefxyz ."[pick(21)]; break;
            case 3: line.append(QByteArray(1 + pick(3), ' ')); break;
            case 4: line = line.toUpper(); break;
            default: line = line.repeated(1 + pick(9)).left(100 + pick(900)); break;
            }
        }
        lines << line;
    }
    return lines;
}

// The run's standard error split into the strict explanations and the lines of the recovery.
struct Told {
    QByteArray explained;
    QByteArrayList others;
};

Told split(const QByteArray& err)
{
    const QRegularExpression strict(QString("^[^\n]*?:\\d+: (%1)").arg(QString(kWords)));
    Told told;
    for (const QByteArray& line : err.split('\n')) {
        if (line.isEmpty())
            continue;
        if (strict.match(QString::fromUtf8(line)).hasMatch())
            told.explained += line + '\n';
        else
            told.others << line;
    }
    return told;
}

Run run(const QStringList& args, const QByteArray& input)
{
    return runInMemory(QStringList{"--decimal-point", "."} + args, input);
}

} // namespace

class TestBeaconRun : public QObject {
    Q_OBJECT
private slots:
    void recoverExplainsWhatCheckExplains_data();
    void recoverExplainsWhatCheckExplains();
    void recoverCheckTells_data();
    void recoverCheckTells();
    void recoveryJudgesEveryLength_data();
    void recoveryJudgesEveryLength();
};

void TestBeaconRun::recoverExplainsWhatCheckExplains_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QStringList>("args");
    const QByteArray explained = log(kExplained);
    QTest::addRow("UTF-8") << explained << QStringList();
    QTest::addRow("UTF-8 with byte-order mark") << "\xEF\xBB\xBF" + explained << QStringList();
    QTest::addRow("UTF-16 LE with byte-order mark")
        << utf16(QString::fromLatin1(explained), false) << QStringList();
    QTest::addRow("UTF-16 BE with byte-order mark")
        << utf16(QString::fromLatin1(explained), true) << QStringList();
    QTest::addRow("1,000 characters beginning orv1") << log({"orv1" + QByteArray(996, 'a')}) << QStringList();
    // Lines too long to be held whole: what is said is counted over the whole line.
    const QByteArray cut = log({QByteArray(70000, 'x') + " orv \t", "orv1 " + QByteArray(80000, '0'),
                                QByteArray("\xF0\x9F\x98\x80").repeated(20000) + "ORV  ", kGood});
    QTest::addRow("cut lines") << cut << QStringList();
    QTest::addRow("cut lines, UTF-16 BE") << utf16(QString::fromUtf8(cut), true) << QStringList();
    QTest::addRow("repeats, --dedupe")
        << log(kExplained + kExplained + kExplained) << QStringList{"--dedupe"};
    for (const unsigned seed : {1u, 2u, 3u, 4u}) {
        const QByteArray varied = log(variedLines(seed, 300));
        QTest::addRow("varied lines %u, UTF-8", seed) << varied << QStringList();
        QTest::addRow("varied lines %u, UTF-16 LE", seed)
            << utf16(QString::fromUtf8(varied), false) << QStringList();
        QTest::addRow("varied lines %u, --dedupe", seed) << varied + varied << QStringList{"--dedupe"};
    }
}

// The same words for the same lines, in the same order; anything else is the recovery's.
void TestBeaconRun::recoverExplainsWhatCheckExplains()
{
    QFETCH(QByteArray, input);
    QFETCH(QStringList, args);
    // The strict run's closing count is its own: the recovering run counts what it recovered.
    const Run strict = run(QStringList{"--check", "--quiet"} + args, input);
    QVERIFY(strict.err.contains(": not decoded: "));
    const Run recovering = run(QStringList{"--recover", "--check"} + args, input);
    const Told told = split(recovering.err);
    QCOMPARE(told.explained, strict.err);
    const QRegularExpression recovery(QString("^[^\n]*?:\\d+(-\\d+)?: (%1)").arg(QString(kRecoveryWords)));
    for (const QByteArray& line : told.others)
        QVERIFY2(recovery.match(QString::fromUtf8(line)).hasMatch(), line.constData());
}

void TestBeaconRun::recoverCheckTells_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("err");
    const QByteArray twoCopies = log({kGood + " ", over(36, "9")});
    const QByteArray told =
        "<stdin>:1: not decoded: 121 characters instead of 120: one trailing blank too many, remove it\n"
        "<stdin>:1: recovered record 1 from <stdin>:1, <stdin>:2; left out: channel 13 \"Battery Temp*\" "
        "(no majority)\n";
    QTest::addRow("UTF-16 LE with byte-order mark") << utf16(QString::fromLatin1(twoCopies), false) << told;
    QTest::addRow("UTF-16 BE with byte-order mark") << utf16(QString::fromLatin1(twoCopies), true) << told;
    QTest::addRow("1,000 characters beginning orv1")
        << log({"orv1" + QByteArray(996, 'a'), kGood})
        << QByteArray(
               "<stdin>:1: not decoded: 1000 characters instead of 120: 880 too many; \"orv2\" missing "
               "at position 13: \"aaaa\" stands there; \"orv3\" missing at position 27: \"aaaa\" stands "
               "there; \"orv4\" missing at position 39: \"aaaa\" stands there; \"orv5\" missing at "
               "position 57: \"aaaa\" stands there; \"orv6\" missing at position 75: \"aaaa\" stands "
               "there\n");
    QTest::addRow("cut line") << log({"orv1 " + QByteArray(70000, '0'), kGood})
                              << QByteArray(
                                     "<stdin>:1: not decoded: 70005 characters instead of 120: 69885 too "
                                     "many; \"orv2\" missing at position 13: \"0000\" stands there; "
                                     "\"orv3\" missing at position 27: \"0000\" stands there; \"orv4\" "
                                     "missing at position 39: \"0000\" stands there; \"orv5\" missing at "
                                     "position 57: \"0000\" stands there; \"orv6\" missing at position "
                                     "75: \"0000\" stands there\n");
    QTest::addRow("a field that is no hex digits")
        << log({over(62, "x")})
        << QByteArray(
               "<stdin>:1: decoded, but check: positions 62-63 (channel 20 \"PanelTemp +X\") hold \"xe\", "
               "not hexadecimal digits\n"
               "<stdin>:1: recovered record 1 from <stdin>:1; left out: channel 20 \"PanelTemp +X\" "
               "(not a hex digit)\n");
}

void TestBeaconRun::recoverCheckTells()
{
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, err);
    const Run r = run({"--recover", "--check"}, input);
    QCOMPARE(r.status, 0);
    QCOMPARE(r.err, err);
}

void TestBeaconRun::recoveryJudgesEveryLength_data()
{
    QTest::addColumn<QByteArray>("input");
    const QByteArray blanks = log({kGood + QByteArray(700, ' ')});
    QTest::addRow("700 blanks after a beacon line") << blanks;
    QTest::addRow("700 blanks after a beacon line, UTF-16 LE") << utf16(QString::fromLatin1(blanks), false);
    QTest::addRow("200 tabs after a beacon line, UTF-16 BE")
        << utf16(QString::fromLatin1(log({kGood + QByteArray(200, '\t')})), true);
}

// How long a line may be to hold a copy is for the recovery to judge, not the reader.
void TestBeaconRun::recoveryJudgesEveryLength()
{
    QFETCH(QByteArray, input);
    const Run r = run({"--recover"}, input);
    QCOMPARE(r.out, run({"--recover"}, log({kGood + " "})).out);
    QCOMPARE(r.out, windowExport(log({kGood})));
}

QTEST_GUILESS_MAIN(TestBeaconRun)
#include "tst_beaconrun.moc"
