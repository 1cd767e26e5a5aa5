// SPDX-License-Identifier: GPL-3.0-or-later
// The log as a file: File > Open Log and Save Log As, the file named at start, and the question
// before a log that is neither saved nor in the archive is thrown away.
#include "logsummary.h"
#include "mainwindow.h"
#include "platform/services.h"
#include "widgets/statuslabel.h"
#include "widgets/textbox.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QStandardPaths>

namespace orvik {

namespace {

// More than a season of passes; the log box slows down well before.
constexpr qint64 kLargestLog = 64LL << 20;

const QString kLogFilter = QStringLiteral("Text files (*.txt *.log);;All files (*)");

} // namespace

bool MainWindow::openLog(const QString& path)
{
    const QString shown = QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
    const std::optional<QString> text = readTextFile(path, kLargestLog);
    if (!text) {
        Label3->setMessage(shown + QStringLiteral(" cannot be read; the log is as it was"));
        return false;
    }
    rememberLog(path);
    Text2->setText(*text);
    Text2->document()->setModified(false);
    QString opened = shown + QStringLiteral(" opened");
    if (QFileInfo(path).size() > kLargestLog)
        opened += QStringLiteral(" (only its first %1 MiB)").arg(kLargestLog >> 20);
    Label3->setMessage(
        opened + QStringLiteral(": ") + logSummary(m_report, m_records.count(), kListedInStatus),
        opened + QStringLiteral(": ") + logSummary(m_report, m_records.count(), kListedInTooltip));
    return true;
}

void MainWindow::MnuOpenLog_Click()
{
    if (!mayDropLog(QStringLiteral("Open Log")))
        return;
    const QString path =
        QFileDialog::getOpenFileName(this, QStringLiteral("Open Log"), m_logFolder, kLogFilter);
    if (!path.isEmpty())
        openLog(path);
}

bool MainWindow::MnuSaveLog_Click()
{
    const QString folder = m_logFolder.isEmpty()
                               ? QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)
                               : m_logFolder;
    const QString path = QFileDialog::getSaveFileName(
        this, QStringLiteral("Save Log As"), joinPath(folder, QStringLiteral("orvik_log.txt")), kLogFilter);
    if (path.isEmpty())
        return false;
    const QString shown = QDir::toNativeSeparators(path);
    const QByteArray bytes = Text2->text().toUtf8();
    QString error;
    if (!saveFileAtomically(
            path, [&](QIODevice& out) { return out.write(bytes) == bytes.size(); },
            QStringLiteral("short write"), &error)) {
        Label3->setMessage(error);
        return false;
    }
    rememberLog(path);
    Text2->document()->setModified(false);
    Label3->setMessage(shown + QStringLiteral(" has been written"));
    return true;
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event)
{
    if (!droppedFiles(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event)
{
    const QStringList files = droppedFiles(event->mimeData());
    if (files.isEmpty())
        return;
    event->acceptProposedAction();
    openDropped(files);
}

// A file dropped on the window, or on the log box, is opened as its log; of several, the first.
void MainWindow::openDropped(const QStringList& paths)
{
    if (!mayDropLog(QStringLiteral("Open Log")) || !openLog(paths.first()) || paths.size() == 1)
        return;
    Label3->setMessage(
        QStringLiteral("%1 files dropped; the first is opened: %2").arg(paths.size()).arg(Label3->text()));
}

// A log typed or pasted, and neither saved nor added to the archive since, is asked about.
bool MainWindow::mayDropLog(const QString& action)
{
    if (!Text2->document()->isModified() || Text2->document()->isEmpty())
        return true;
    QMessageBox box(QMessageBox::Question, action,
                    QStringLiteral("The log was typed or pasted, and is neither saved nor in the archive. "
                                   "Save it first?"),
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, this);
    box.setObjectName(QStringLiteral("DropLogQuestion"));
    box.setDefaultButton(QMessageBox::Save);
    box.setEscapeButton(QMessageBox::Cancel);
    switch (box.exec()) {
    case QMessageBox::Save: return MnuSaveLog_Click();
    case QMessageBox::Discard: return true;
    default: return false;
    }
}

} // namespace orvik
