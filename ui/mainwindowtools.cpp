// SPDX-License-Identifier: GPL-3.0-or-later
// The window's menu, and the tools it starts: the archive, its trends, the log check, Info.
#include "aboutbox.h"
#include "addsdialog.h"
#include "archiveactions.h"
#include "archiveadder.h"
#include "checklogwindow.h"
#include "mainwindow.h"
#include "receiveddialog.h"
#include "ui/trends/trendwindow.h"
#include "widgets/statuslabel.h"
#include "widgets/textbox.h"

#include <QAction>
#include <QDateTime>
#include <QMenuBar>
#include <QShortcut>

namespace orvik {

void MainWindow::buildMenu()
{
    // Mnemonics and shortcuts, so that every command can be reached without a mouse.
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("MnuFile"));
    MnuOpenLog = file->addAction(QStringLiteral("&Open Log\u2026"));
    MnuOpenLog->setObjectName(QStringLiteral("MnuOpenLog"));
    MnuOpenLog->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    MnuSaveLog = file->addAction(QStringLiteral("&Save Log As\u2026"));
    MnuSaveLog->setObjectName(QStringLiteral("MnuSaveLog"));
    MnuSaveLog->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    m_recentMenu = file->addMenu(QStringLiteral("&Recent Logs"));
    m_recentMenu->setObjectName(QStringLiteral("MnuRecentLogs"));
    file->addSeparator();
    MnuExit = file->addAction(QStringLiteral("E&xit"));
    MnuExit->setObjectName(QStringLiteral("MnuExit"));
    MnuExit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));

    QMenu* tlm = menuBar()->addMenu(QStringLiteral("&TLM File"));
    tlm->setObjectName(QStringLiteral("MnuTLMFile"));
    WriteCSVFile = tlm->addAction(QStringLiteral("&Write CSV File"));
    WriteCSVFile->setObjectName(QStringLiteral("WriteCSVFile"));
    WriteCSVFile->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    MnuAddToArchive = tlm->addAction(QStringLiteral("&Add to Archive"));
    MnuAddToArchive->setObjectName(QStringLiteral("MnuAddToArchive"));
    MnuUndoAdd = tlm->addAction(QStringLiteral("&Undo Last Add"));
    MnuUndoAdd->setObjectName(QStringLiteral("MnuUndoAdd"));
    MnuUndoAdd->setEnabled(false);
    m_adder = new ArchiveAdder(this);
    MnuAdds = tlm->addAction(QStringLiteral("Archive A&dds\u2026"));
    MnuAdds->setObjectName(QStringLiteral("MnuAdds"));
    MnuCheckLog = tlm->addAction(QStringLiteral("&Check Log\u2026"));
    MnuCheckLog->setObjectName(QStringLiteral("MnuCheckLog"));
    MnuTrends = tlm->addAction(QStringLiteral("&Trends\u2026"));
    MnuTrends->setObjectName(QStringLiteral("MnuTrends"));
    tlm->addSeparator();
    MnuRecover = tlm->addAction(QStringLiteral("&Recover Damaged Lines"));
    MnuRecover->setObjectName(QStringLiteral("MnuRecover"));
    MnuRecover->setCheckable(true);

    MnuInfo = menuBar()->addAction(QStringLiteral("&Info"));
    MnuInfo->setObjectName(QStringLiteral("MnuInfo"));
    MnuInfo->setShortcut(QKeySequence(Qt::Key_F1));

    m_menuKey = new QShortcut(QKeySequence(Qt::Key_F10), this);
}

void MainWindow::MnuAddToArchive_Click()
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    const LogDating dating =
        m_report.recovered ? dateRecords(m_records, m_log.lines, now) : dateLog(m_log.lines, now);
    std::optional<qint64> first = dating.suggestedMs;
    if (dating.anyBeacon)
        first = askFirstReceived(this, dating.suggestedMs, dating.firstOnBoardTime, dating.fromLog);
    if (!first) {
        Label3->setMessage(QStringLiteral("Add to Archive cancelled; nothing was added"));
        return;
    }
    for (QAction* action : {MnuAddToArchive, MnuUndoAdd, MnuAdds})
        action->setEnabled(false);
    m_addedRevision = Text2->document()->revision();
    m_adder->start(m_archivePath, m_log, *first,
                   m_report.recovered ? LogReading::Recovering : LogReading::Strict);
}

void MainWindow::archiveAdded(const QString& text, qint64 number, bool kept)
{
    Label3->setMessage(text);
    // The log as added is kept, unless it was edited while the add went on.
    if (kept && Text2->document()->revision() == m_addedRevision)
        Text2->document()->setModified(false);
    if (number > 0 && (m_adds.empty() || m_adds.back() != number))
        m_adds.push_back(number);
    MnuAddToArchive->setEnabled(true);
    MnuAdds->setEnabled(true);
    MnuUndoAdd->setEnabled(!m_adds.empty());
}

void MainWindow::MnuAdds_Click()
{
    QString message;
    for (const qint64 number : showArchiveAdds(this, m_archivePath, &message))
        std::erase(m_adds, number);
    if (!message.isEmpty())
        Label3->setMessage(message);
    MnuUndoAdd->setEnabled(!m_adds.empty());
}

// Takes back this window's last add, then the one before it.
void MainWindow::MnuUndoAdd_Click()
{
    if (m_adds.empty())
        return;
    bool done = false;
    Label3->setMessage(undoArchiveAdd(m_archivePath, m_adds.back(), &done));
    if (done)
        m_adds.pop_back();
    MnuUndoAdd->setEnabled(!m_adds.empty());
}

// The trend window on the archive; opened anew it reads the archive again, open it keeps its view.
void MainWindow::MnuTrends_Click()
{
    if (!m_trends) {
        m_trends = new TrendWindow(this);
        // A tool of this window, as the Check Log window is.
        m_trends->setAttribute(Qt::WA_QuitOnClose, false);
        m_trends->setWindowIcon(windowIcon());
        restoreTrendSettings();
    }
    if (!m_trends->isVisible())
        m_trends->openArchive(m_archivePath);
    m_trends->show();
    m_trends->raise();
    m_trends->activateWindow();
}

void MainWindow::MnuCheckLog_Click()
{
    m_checkLog->setLog(m_log, m_report);
    m_checkLog->show();
    m_checkLog->raise();
    m_checkLog->activateWindow();
}

// An entry of the Check Log window was activated: its line, selected in the log box.
void MainWindow::showLogLine(int line)
{
    Text2->selectLine(line);
    activateWindow();
    Text2->setFocus();
}

void MainWindow::MnuInfo_Click()
{
    if (!m_aboutBox) {
        // No owner: the box outlives the main window and keeps the program running.
        m_aboutBox = new AboutBox;
        m_aboutBox->setAttribute(Qt::WA_DeleteOnClose);
        m_aboutBox->setWindowIcon(windowIcon());
    }
    m_aboutBox->show();
    m_aboutBox->raise();
    m_aboutBox->activateWindow();
}

} // namespace orvik
