// SPDX-License-Identifier: GPL-3.0-or-later
// The message box hook: tests see the box, and without a hook the real modal box appears.
#include "widgets/messagebox.h"

#include <QApplication>
#include <QTest>
#include <QTimer>

using namespace orvik;

class TestMessageBox : public QObject {
    Q_OBJECT
private slots:
    void cleanup();
    void messageBoxHandler_data();
    void messageBoxHandler();
    void realMessageBox();
};

void TestMessageBox::cleanup() { setMessageBoxHandler({}); }

void TestMessageBox::messageBoxHandler_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QMessageBox::Icon>("icon");

    QTest::addRow("information") << "Saved."
                                 << "Orvik" << QMessageBox::Information;
    QTest::addRow("warning, two lines") << "File missing\r\nC:\\x.txt"
                                        << "Warning" << QMessageBox::Warning;
    QTest::addRow("critical, empty title") << "Failed" << QString() << QMessageBox::Critical;
}

void TestMessageBox::messageBoxHandler()
{
    QFETCH(QString, text);
    QFETCH(QString, title);
    QFETCH(QMessageBox::Icon, icon);

    QWidget parent;
    int calls = 0;
    QWidget* seenParent = nullptr;
    QString seenText, seenTitle;
    QMessageBox::Icon seenIcon = QMessageBox::NoIcon;
    setMessageBoxHandler([&](QWidget* p, const QString& t, const QString& ti, QMessageBox::Icon i) {
        ++calls;
        seenParent = p;
        seenText = t;
        seenTitle = ti;
        seenIcon = i;
    });
    showMessageBox(&parent, text, title, icon);

    QCOMPARE(calls, 1);
    QCOMPARE(seenParent, &parent);
    QCOMPARE(seenText, text);
    QCOMPARE(seenTitle, title);
    QCOMPARE(seenIcon, icon);
    QVERIFY(!QApplication::activeModalWidget());
}

void TestMessageBox::realMessageBox()
{
    // Once the handler is cleared the real modal box comes back; close it from inside its loop.
    setMessageBoxHandler([](QWidget*, const QString&, const QString&, QMessageBox::Icon) {});
    setMessageBoxHandler({});

    QString shownText, shownTitle;
    QMessageBox::Icon shownIcon = QMessageBox::NoIcon;
    bool found = false;
    QTimer closer;
    closer.setInterval(20);
    connect(&closer, &QTimer::timeout, this, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        found = true;
        shownText = box->text();
        shownTitle = box->windowTitle();
        shownIcon = box->icon();
        box->accept();
    });
    closer.start();
    // Guards against a box that never appears: the test then fails rather than hangs.
    QTimer::singleShot(10000, this, [] {
        if (QWidget* w = QApplication::activeModalWidget())
            w->close();
    });
    showMessageBox(nullptr, QStringLiteral("Real text"), QStringLiteral("Real title"), QMessageBox::Warning);
    closer.stop();

    QVERIFY(found);
    QCOMPARE(shownText, QStringLiteral("Real text"));
    QCOMPARE(shownTitle, QStringLiteral("Real title"));
    QCOMPARE(shownIcon, QMessageBox::Warning);
}

QTEST_MAIN(TestMessageBox)
#include "tst_messagebox.moc"
