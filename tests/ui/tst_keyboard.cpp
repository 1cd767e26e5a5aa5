// SPDX-License-Identifier: GPL-3.0-or-later
// Every command of the window without a mouse: menus by mnemonic and F10, the common
// shortcuts, the About box closing on Escape, and position texts that read whole.
#include "ui/mainwindow.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using namespace orvik;

namespace {

QString beaconLog(int lines)
{
    QStringList out;
    for (int i = 1; i <= lines; ++i)
        out << QStringLiteral("orv1 %1 orv2 e55a0080 orv3 a0c880 orv4 0a141e28323c orv5 6e6f70717273 orv6 "
                              "7480ff6e400000000000000000000000000000000")
                   .arg(i, 6, 16, QLatin1Char('0'));
    return out.join(QStringLiteral("\r\n"));
}

QWidget* visibleTopLevel(const QString& name)
{
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->objectName() == name && w->isVisible())
            return w;
    }
    return nullptr;
}

} // namespace

class TestKeyboard : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void keys_data();
    void keys();
    void positionTextsReadWhole();
    void recordBarShowsFocus();
    void loneAltReachesTheMenuBar();

private:
    std::unique_ptr<QTemporaryDir> m_folder;
    std::unique_ptr<MainWindow> m_window;
};

void TestKeyboard::init()
{
    m_folder = std::make_unique<QTemporaryDir>();
    QVERIFY(m_folder->isValid());
    m_window = std::make_unique<MainWindow>(m_folder->path());
    m_window->show();
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
}

void TestKeyboard::cleanup()
{
    m_window.reset();
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->objectName() == u"Form2")
            delete w;
    }
}

void TestKeyboard::keys_data()
{
    QTest::addColumn<QKeySequence>("keys");
    QTest::addColumn<QString>("effect");
    QTest::addRow("Alt+F opens File") << QKeySequence(Qt::ALT | Qt::Key_F) << "menu MnuFile";
    QTest::addRow("Alt+T opens TLM File") << QKeySequence(Qt::ALT | Qt::Key_T) << "menu MnuTLMFile";
    QTest::addRow("F10 opens the menu bar") << QKeySequence(Qt::Key_F10) << "menu MnuFile";
    QTest::addRow("Ctrl+E writes the CSV file") << QKeySequence(Qt::CTRL | Qt::Key_E) << "export";
    QTest::addRow("F1 shows Info") << QKeySequence(Qt::Key_F1) << "about";
    QTest::addRow("Alt+I shows Info") << QKeySequence(Qt::ALT | Qt::Key_I) << "about";
    QTest::addRow("Ctrl+Q leaves") << QKeySequence(Qt::CTRL | Qt::Key_Q) << "closed";
}

void TestKeyboard::keys()
{
    QFETCH(QKeySequence, keys);
    QFETCH(QString, effect);
    auto* box = m_window->findChild<QPlainTextEdit*>(QStringLiteral("Text2"));
    box->setFocus();
    box->setPlainText(beaconLog(2));

    QTest::keySequence(m_window.get(), keys);
    if (effect.startsWith(u"menu ")) {
        auto* menu = m_window->findChild<QMenu*>(effect.mid(5));
        QTRY_VERIFY(menu->isVisible());
        QTest::keyClick(menu, Qt::Key_Escape);
    } else if (effect == u"export") {
        const QString path = m_folder->path() + QDir::separator() + QStringLiteral("orvik_telemetry.csv");
        QVERIFY(QFile::exists(path));
        QCOMPARE(m_window->findChild<QLabel*>(QStringLiteral("Label3"))->text(),
                 path + QStringLiteral(" has been written"));
    } else if (effect == u"about") {
        QWidget* about = visibleTopLevel(QStringLiteral("Form2"));
        QVERIFY(about);
        about->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(about));
        QTest::keyClick(about, Qt::Key_Escape);
        QVERIFY(!visibleTopLevel(QStringLiteral("Form2")));
    } else {
        QVERIFY(!m_window->isVisible());
    }
}

// Label2 shows every position text it can reach whole, beside the status line.
void TestKeyboard::positionTextsReadWhole()
{
    auto* label2 = m_window->findChild<QLabel*>(QStringLiteral("Label2"));
    auto* label3 = m_window->findChild<QLabel*>(QStringLiteral("Label3"));
    QVERIFY(!label2->geometry().intersects(label3->geometry()));
    auto* box = m_window->findChild<QPlainTextEdit*>(QStringLiteral("Text2"));
    box->setPlainText(beaconLog(100));
    auto* bar = m_window->findChild<QScrollBar*>(QStringLiteral("HScroll1"));
    bar->setFocus();
    QTest::keyClick(bar, Qt::Key_End);
    QCOMPARE(label2->text(), QStringLiteral("100/100"));
    box->setPlainText(beaconLog(100) + QStringLiteral("\r\n"));
    QCOMPARE(label2->text(), QStringLiteral("#100 / 100"));
    for (const QString& text : {label2->text(), QStringLiteral("100/100"), QStringLiteral("#7 / 5")})
        QVERIFY2(label2->fontMetrics().horizontalAdvance(text) <= label2->contentsRect().width(),
                 qPrintable(text));
}

// The record bar draws a mark in the highlight colour while it has the focus.
void TestKeyboard::recordBarShowsFocus()
{
    auto* bar = m_window->findChild<QScrollBar*>(QStringLiteral("HScroll1"));
    const QColor mark = bar->palette().color(QPalette::Highlight);
    m_window->findChild<QPlainTextEdit*>(QStringLiteral("Text2"))->setFocus();
    QVERIFY(bar->grab().toImage().pixelColor(1, bar->height() / 2) != mark);
    bar->setFocus();
    QVERIFY(bar->hasFocus());
    QCOMPARE(bar->grab().toImage().pixelColor(1, bar->height() / 2), mark);
}

void TestKeyboard::loneAltReachesTheMenuBar()
{
    m_window->findChild<QPlainTextEdit*>(QStringLiteral("Text2"))->setFocus();
    QTest::keyPress(m_window.get(), Qt::Key_Alt, Qt::AltModifier);
    QTest::keyRelease(m_window.get(), Qt::Key_Alt);
    QVERIFY(m_window->menuBar()->hasFocus());
    QCOMPARE(m_window->menuBar()->activeAction()->text(), QStringLiteral("&File"));
}

QTEST_MAIN(TestKeyboard)
#include "tst_keyboard.moc"
