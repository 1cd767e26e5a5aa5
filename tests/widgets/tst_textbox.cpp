// SPDX-License-Identifier: GPL-3.0-or-later
// The log box: changed() after every change, every kind of line break, however it came in,
// reported as CR LF, every other character kept as it was, and long lines held whole.
#include "widgets/textbox.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMimeData>
#include <QTest>

using orvik::TextBox;

namespace {

class PasteBox : public TextBox {
public:
    using TextBox::TextBox;
    void drop(const QMimeData* data) { insertFromMimeData(data); }
};

enum class Route { SetText, Insert, MimeData, Clipboard };

} // namespace

class TestTextBox : public QObject {
    Q_OBJECT
private slots:
    void changedAfterEveryChange_data();
    void changedAfterEveryChange();
    void lineBreaks_data();
    void lineBreaks();
    void longLines_data();
    void longLines();
    void lineNavigation_data();
    void lineNavigation();
};

void TestTextBox::changedAfterEveryChange_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QStringList>("seen");

    QTest::addRow("typing") << QString() << "abc" << QString() << QStringList{"a", "ab", "abc"};
    QTest::addRow("typing after text") << "x"
                                       << "yz" << QString() << QStringList{"xy", "xyz"};
    QTest::addRow("set text") << QString() << QString() << "set:one\ntwo" << QStringList{"one\r\ntwo"};
    QTest::addRow("set text to empty") << "old" << QString() << "set:" << QStringList{""};
    QTest::addRow("insert") << "a" << QString() << "insert:b\rc" << QStringList{"ab\r\nc"};
}

void TestTextBox::changedAfterEveryChange()
{
    QFETCH(QString, start);
    QFETCH(QString, typed);
    QFETCH(QString, code);
    QFETCH(QStringList, seen);

    QWidget window;
    auto* box = new TextBox(&window);
    box->setGeometry(0, 0, 200, 100);
    box->setText(start);
    box->moveCursor(QTextCursor::End);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QStringList texts;
    connect(box, &TextBox::changed, this, [&] { texts.append(box->text()); });
    if (!typed.isEmpty())
        QTest::keyClicks(box, typed);
    if (code.startsWith(QLatin1String("set:")))
        box->setText(code.mid(4));
    else if (code.startsWith(QLatin1String("insert:")))
        box->insertPlainText(code.mid(7));

    // Code may raise more than one change for one call, but the listener must have seen the end.
    if (typed.isEmpty()) {
        QVERIFY(!texts.isEmpty());
        QCOMPARE(texts.last(), seen.last());
    } else {
        QCOMPARE(texts, seen);
    }
    QCOMPARE(box->text(), seen.last());
}

void TestTextBox::lineBreaks_data()
{
    QTest::addColumn<Route>("route");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("lines");

    const struct {
        const char* name;
        Route route;
    } routes[] = {
        {"set text",  Route::SetText  },
        {"insert",    Route::Insert   },
        {"mime data", Route::MimeData },
        {"clipboard", Route::Clipboard},
    };
    for (const auto& r : routes) {
        QTest::addRow("%s, CR LF", r.name) << r.route << "a\r\nb"
                                           << "a\r\nb" << 2;
        QTest::addRow("%s, LF", r.name) << r.route << "a\nb"
                                        << "a\r\nb" << 2;
        QTest::addRow("%s, CR", r.name) << r.route << "a\rb"
                                        << "a\r\nb" << 2;
        QTest::addRow("%s, LF CR", r.name) << r.route << "a\n\rb"
                                           << "a\r\n\r\nb" << 3;
        QTest::addRow("%s, mixed", r.name) << r.route << "1\r2\n3\r\n4\r\r5"
                                           << "1\r\n2\r\n3\r\n4\r\n\r\n5" << 6;
        QTest::addRow("%s, trailing CR LF", r.name) << r.route << "a\r\n"
                                                    << "a\r\n"
                                                    << 2;
        // Characters that Qt's plain text would turn into blanks or breaks stay what they are.
        // Code calling insertPlainText() directly is not a way text reaches the log.
        if (r.route == Route::Insert)
            continue;
        const QChar lone = QChar(char16_t(0xD800));
        const struct {
            const char* name;
            QString text;
        } kept[] = {
            {"no-break space",      "a\u00a0c"                            },
            {"line separator",      "a\u2028b"                            },
            {"paragraph separator", "a\u2029b"                            },
            {"frame characters",    QString::fromUtf16(u"a\uFDD0b\uFDD1c")},
            {"mid-line BOM",        "a\uFEFFb"                            },
            {"NUL",                 QString::fromLatin1("a\0b",             3)},
            {"unpaired surrogate",                     QString("a") + lone + "b"                                       },
            {"private use",                     "a\uF8F0b"       },
        };
        for (const auto& k : kept)
            QTest::addRow("%s, %s", r.name, k.name)
                << r.route << k.text + "\r\n" + k.text << k.text + "\r\n" + k.text << 2;
    }
}

void TestTextBox::lineBreaks()
{
    QFETCH(Route, route);
    QFETCH(QString, input);
    QFETCH(QString, expected);
    QFETCH(int, lines);

    QWidget window;
    auto* box = new PasteBox(&window);
    box->setGeometry(0, 0, 200, 100);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    switch (route) {
    case Route::SetText: box->setText(input); break;
    case Route::Insert: box->insertPlainText(input); break;
    case Route::MimeData: {
        QMimeData data;
        data.setText(input);
        box->drop(&data);
        break;
    }
    case Route::Clipboard: {
        QClipboard* clipboard = QApplication::clipboard();
        clipboard->setText(input);
        if (clipboard->text() != input)
            QSKIP("No working clipboard on this platform");
        window.activateWindow();
        box->setFocus();
        QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
        break;
    }
    }

    QCOMPARE(box->text(), expected);
    QCOMPARE(box->document()->blockCount(), lines);
}

namespace {

// A line of 10,000 digits, "0123456789..." repeated, held in three display blocks.
QString longLine()
{
    QString line(10000, Qt::Uninitialized);
    for (qsizetype i = 0; i < line.size(); ++i)
        line[i] = QChar(char16_t(u'0' + i % 10));
    return line;
}

// A private-use character, as the box's stand-ins are, that no break character put there.
QString thirdLine() { return QString::fromUtf16(u"thi\uF8F0d"); }

} // namespace

void TestTextBox::longLines_data()
{
    QTest::addColumn<int>("position"); // in the document, where each join counts one
    QTest::addColumn<int>("selected");
    QTest::addColumn<QKeySequence>("keys");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("copied");

    const QString line = longLine();
    const int join = int(TextBox::kDisplayLineLength); // document position of the first join
    const QKeySequence none;
    QTest::addRow("as set") << 0 << 0 << none << line << QString();
    QTest::addRow("typing at the end") << 10002 << 0 << QKeySequence(Qt::Key_X) << line + "x" << QString();
    QTest::addRow("backspace after a join")
        << join + 1 << 0 << QKeySequence(Qt::Key_Backspace) << QString(line).remove(join - 1, 1) << QString();
    QTest::addRow("delete before a join")
        << join << 0 << QKeySequence(Qt::Key_Delete) << QString(line).remove(join, 1) << QString();
    QTest::addRow("enter") << 5001 << 0 << QKeySequence(Qt::Key_Return)
                           << line.left(5000) + "\r\n" + line.mid(5000) << QString();
    QTest::addRow("shift+enter") << 5001 << 0 << QKeySequence(Qt::ShiftModifier | Qt::Key_Return)
                                 << line.left(5000) + "\r\n" + line.mid(5000) << QString();
    QTest::addRow("delete across a join, undone")
        << join - 100 << 200 << QKeySequence(QKeySequence::Undo) << line << QString();
    QTest::addRow("copy across a join")
        << join - 100 << 200 << QKeySequence(QKeySequence::Copy) << line << line.mid(join - 100, 199);
    QTest::addRow("cut and paste back")
        << join - 100 << 200 << QKeySequence(QKeySequence::Paste) << line << line.mid(join - 100, 199);
}

void TestTextBox::longLines()
{
    QFETCH(int, position);
    QFETCH(int, selected);
    QFETCH(QKeySequence, keys);
    QFETCH(QString, expected);
    QFETCH(QString, copied);

    QWidget window;
    auto* box = new TextBox(&window);
    box->setGeometry(0, 0, 400, 200);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    box->setFocus();
    QApplication::clipboard()->setText(longLine());
    if (QApplication::clipboard()->text() != longLine())
        QSKIP("No working clipboard on this platform");
    QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(box->text(), longLine());
    // Short display blocks keep every keystroke cheap to lay out.
    QCOMPARE(box->document()->blockCount(), 3);

    QTextCursor cursor = box->textCursor();
    cursor.setPosition(position);
    cursor.setPosition(position + selected, QTextCursor::KeepAnchor);
    box->setTextCursor(cursor);
    if (selected > 0 && keys == QKeySequence(QKeySequence::Undo))
        QTest::keyClick(box, Qt::Key_Delete);
    if (selected > 0 && keys == QKeySequence(QKeySequence::Paste))
        QTest::keyClick(box, Qt::Key_X, Qt::ControlModifier);
    if (!keys.isEmpty())
        QTest::keySequence(box, keys);

    QCOMPARE(box->text(), expected);
    if (!copied.isEmpty())
        QCOMPARE(QApplication::clipboard()->text(), copied);
}

void TestTextBox::lineNavigation_data()
{
    QTest::addColumn<int>("position"); // in the document
    QTest::addColumn<int>("line");
    QTest::addColumn<int>("select");
    QTest::addColumn<QString>("selected"); // null: nothing selected

    // "first", the long line in three display blocks, a third line, "", "last".
    const int longStart = 6;
    const int thirdStart = longStart + 10000 + 2 + 1; // each join counts one, as the break does
    QTest::addRow("first line") << 2 << 0 << 0 << "first";
    QTest::addRow("before the start") << -5 << 0 << 0 << "first";
    QTest::addRow("long line, first block") << longStart << 1 << 1 << longLine();
    QTest::addRow("long line, last block") << longStart + 9000 << 1 << 1 << longLine();
    QTest::addRow("after the long line") << thirdStart + 2 << 2 << 2 << thirdLine();
    QTest::addRow("empty line") << thirdStart + 6 << 3 << 3 << "";
    QTest::addRow("last line, at the end") << thirdStart + 11 << 4 << 4 << "last";
    QTest::addRow("past the end") << 1 << 0 << 5 << QString();
    QTest::addRow("negative line") << 1 << 0 << -1 << QString();
}

void TestTextBox::lineNavigation()
{
    QFETCH(int, position);
    QFETCH(int, line);
    QFETCH(int, select);
    QFETCH(QString, selected);

    QWidget window;
    auto* box = new TextBox(&window);
    box->setGeometry(0, 0, 400, 100);
    auto* other = new QLineEdit(&window);
    other->setGeometry(0, 110, 400, 20);
    const QString log = "first\r\n" + longLine() + "\r\n" + thirdLine() + "\r\n\r\nlast";
    box->setText(log);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    other->setFocus();
    QCOMPARE(box->text(), log);

    QCOMPARE(box->lineOfPosition(position), line);
    box->selectLine(select);
    const QTextCursor cursor = box->textCursor();
    if (selected.isNull()) {
        QVERIFY(!cursor.hasSelection());
        return;
    }
    // Joins show as block breaks in the selection; the line has none of its own.
    QCOMPARE(cursor.selectedText().remove(QChar::ParagraphSeparator), selected);
    QCOMPARE(cursor.position(), cursor.selectionStart());
    QVERIFY(box->viewport()->rect().contains(box->cursorRect().center()));
    QVERIFY(other->hasFocus());
}

QTEST_MAIN(TestTextBox)
#include "tst_textbox.moc"
