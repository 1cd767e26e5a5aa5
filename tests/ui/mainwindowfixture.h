// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The main window in a folder of its own, driven through its real widgets: the beacon lines and
// the ways to reach its controls that its tests share.
#include "platform/services.h"
#include "support/referenceline.h"
#include "ui/channelchart.h"
#include "ui/mainwindow.h"
#include "widgets/messagebox.h"

#include <QAbstractAxis>
#include <QAction>
#include <QApplication>
#include <QChart>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <QToolTip>
#include <memory>

namespace orvik::testing {

inline const QString kReferenceLine = testsupport::referenceLine();
using testsupport::beacon;

inline QString log(int lines, int firstTime = 1, const QString& separator = QStringLiteral("\r\n"))
{
    QStringList out;
    for (int i = 0; i < lines; ++i)
        out << beacon(firstTime + i);
    return out.join(separator);
}

// Each test class takes this as its base, calls start() in init() and stop() in cleanup().
class MainWindowFixture {
protected:
    void start()
    {
        // A blank in the folder name proves that paths are never split.
        m_folder = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/orvik test XXXXXX"));
        QVERIFY(m_folder->isValid());
        makeWindow();
    }

    void stop()
    {
        setMessageBoxHandler({});
        m_window.reset();
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->objectName() == u"Form2")
                delete w;
        }
    }

    void makeWindow(const QString& conf = QString())
    {
        m_window.reset();
        if (!conf.isNull()) {
            QFile file(m_folder->filePath(QStringLiteral("conf.ini")));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(conf.toUtf8());
        }
        m_window = std::make_unique<MainWindow>(m_folder->path());
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }

    void paste(const QString& text)
    {
        QPlainTextEdit* box = logBox();
        box->setFocus();
        box->selectAll();
        box->insertPlainText(text);
    }

    template <typename T> T* child(const QString& name) const
    {
        T* w = m_window->findChild<T*>(name);
        if (!w)
            qFatal("no child %s", qPrintable(name));
        return w;
    }
    QLineEdit* value(int channel) const { return child<QLineEdit>(QStringLiteral("Text1_%1").arg(channel)); }
    QRadioButton* option(int channel) const
    {
        return child<QRadioButton>(QStringLiteral("Option1_%1").arg(channel));
    }
    QPlainTextEdit* logBox() const { return child<QPlainTextEdit>(QStringLiteral("Text2")); }
    QWidget* client() const { return child<QWidget>(QStringLiteral("ClientArea")); }
    QScrollBar* bar() const { return child<QScrollBar>(QStringLiteral("HScroll1")); }
    QString label2() const { return child<QLabel>(QStringLiteral("Label2"))->text(); }
    QString label3() const { return child<QLabel>(QStringLiteral("Label3"))->text(); }
    ChannelChart* chart() const { return child<ChannelChart>(QStringLiteral("MSChart1")); }
    QString chartCaption() const { return child<QGroupBox>(QStringLiteral("Frame8"))->title(); }
    QList<int> selectedChannels() const
    {
        QList<int> out;
        for (int i = 0; i < 31; ++i) {
            if (option(i)->isChecked())
                out << i;
        }
        return out;
    }
    // The middle of a bar, in the chart's viewport.
    QPoint barCentre(int row) const
    {
        QChart* c = chart()->chart();
        const QPointF at = c->mapToPosition(QPointF(row, chart()->barValue(row) / 2), c->series().first());
        return chart()->mapFromScene(c->mapToScene(at));
    }
    // The bars drawn in the highlight colour.
    QList<int> markedBars() const
    {
        const QImage shown = chart()->viewport()->grab().toImage();
        QList<int> out;
        for (int row = 0; row < chart()->barCount(); ++row) {
            if (shown.pixelColor(barCentre(row)) == chart()->palette().color(QPalette::Highlight))
                out << row;
        }
        return out;
    }
    bool highlighted(int channel) const
    {
        return value(channel)->palette().color(QPalette::Base) == QColor(255, 255, 192);
    }

    std::unique_ptr<QTemporaryDir> m_folder;
    std::unique_ptr<MainWindow> m_window;
};

} // namespace orvik::testing
