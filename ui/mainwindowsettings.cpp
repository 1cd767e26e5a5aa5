// SPDX-License-Identifier: GPL-3.0-or-later
// What the window remembers from one run to the next: its place, the last log folder and the
// recent logs. A missing or damaged file gives the defaults; conf.ini is never written.
#include "mainwindow.h"
#include "ui/trends/trendwindow.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QSettings>
#include <algorithm>

namespace orvik {

namespace {

constexpr qsizetype kRecentLogs = 8;

} // namespace

void MainWindow::restoreSettings()
{
    const QSettings settings(m_settingsFile, QSettings::IniFormat);
    if (settings.status() == QSettings::NoError) {
        m_logFolder = settings.value(QStringLiteral("log/folder")).toString();
        m_recentLogs = settings.value(QStringLiteral("log/recent")).toStringList().mid(0, kRecentLogs);
        // A place on a screen that is no more is forgotten.
        const QPoint at = settings.value(QStringLiteral("window/position")).toPoint();
        if (settings.contains(QStringLiteral("window/position")) && QGuiApplication::screenAt(at))
            move(at);
        // Once switched here, the switch is the user's; until then conf.ini's RECOVER holds.
        if (settings.contains(QStringLiteral("log/recover")))
            MnuRecover->setChecked(settings.value(QStringLiteral("log/recover")).toBool());
    }
    fillRecentLogs();
}

void MainWindow::saveSettings() const
{
    QSettings settings(m_settingsFile, QSettings::IniFormat);
    settings.setValue(QStringLiteral("window/position"), pos());
    settings.setValue(QStringLiteral("log/folder"), m_logFolder);
    settings.setValue(QStringLiteral("log/recent"), m_recentLogs);
    if (m_recoverSwitched)
        settings.setValue(QStringLiteral("log/recover"), MnuRecover->isChecked());
    // Those of a Trends window not opened this run stay as they were.
    if (m_trends) {
        const TrendWindow::Settings trends = m_trends->settings();
        QStringList channels;
        for (const int c : trends.channels)
            channels << QString::number(c);
        settings.setValue(QStringLiteral("trends/size"), trends.size);
        settings.setValue(QStringLiteral("trends/channels"), channels.join(u' '));
        settings.setValue(QStringLiteral("trends/onBoard"), trends.onBoard);
    }
}

// Channel numbers that are no channel's are dropped; a damaged file gives the defaults.
void MainWindow::restoreTrendSettings()
{
    const QSettings settings(m_settingsFile, QSettings::IniFormat);
    TrendWindow::Settings s;
    if (settings.status() != QSettings::NoError)
        return;
    s.size = settings.value(QStringLiteral("trends/size")).toSize();
    for (const QString& text : settings.value(QStringLiteral("trends/channels")).toString().split(u' ')) {
        bool number = false;
        const int c = text.toInt(&number);
        if (number && c >= 0 && c < kChannelCount &&
            std::find(s.channels.begin(), s.channels.end(), c) == s.channels.end())
            s.channels.push_back(c);
    }
    s.onBoard = settings.value(QStringLiteral("trends/onBoard")).toBool();
    m_trends->applySettings(s);
}

// A log opened or saved heads the recent logs, and its folder is where the next dialog opens.
void MainWindow::rememberLog(const QString& path)
{
    const QString whole = QFileInfo(path).absoluteFilePath();
    m_logFolder = QFileInfo(whole).absolutePath();
    m_recentLogs.removeAll(whole);
    m_recentLogs.prepend(whole);
    m_recentLogs = m_recentLogs.mid(0, kRecentLogs);
    fillRecentLogs();
    saveSettings();
}

void MainWindow::fillRecentLogs()
{
    m_recentMenu->clear();
    for (qsizetype i = 0; i < m_recentLogs.size(); ++i) {
        const QString path = m_recentLogs[i];
        QAction* entry = m_recentMenu->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(
            QDir::toNativeSeparators(path).replace(u'&', QStringLiteral("&&"))));
        entry->setObjectName(QStringLiteral("RecentLog%1").arg(i + 1));
        entry->setData(path);
    }
    m_recentMenu->setEnabled(!m_recentLogs.isEmpty());
}

void MainWindow::MnuRecentLogs_Click(QAction* entry)
{
    if (mayDropLog(QStringLiteral("Open Log")))
        openLog(entry->data().toString());
}

} // namespace orvik
