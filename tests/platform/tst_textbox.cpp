// SPDX-License-Identifier: GPL-3.0-or-later
// The log box: changed() after every change, and every kind of line break, however it came
// in, reported as CR LF.
#include "platform/textbox.h"

#include <QApplication>
#include <QClipboard>
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

QTEST_MAIN(TestTextBox)
#include "tst_textbox.moc"
