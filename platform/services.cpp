// SPDX-License-Identifier: GPL-3.0-or-later
#include "services.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSaveFile>

namespace orvik {

namespace {

MessageBoxHandler& messageBoxHandler()
{
    static MessageBoxHandler handler;
    return handler;
}

} // namespace

QString dateText(const QDate& date) { return date.toString(QStringLiteral("ddMMyyyy")); }

QString programFolder() { return QDir::toNativeSeparators(QCoreApplication::applicationDirPath()); }

QString joinPath(const QString& folder, const QString& name) { return folder + QDir::separator() + name; }

std::optional<QString> readTextFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    return QString::fromLocal8Bit(bytes);
}

QList<QStringView> splitTextLines(QStringView text)
{
    QList<QStringView> lines;
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (c != QLatin1Char('\r') && c != QLatin1Char('\n'))
            continue;
        lines.append(text.sliced(start, i - start));
        if (c == QLatin1Char('\r') && i + 1 < n && text[i + 1] == QLatin1Char('\n'))
            ++i;
        start = i + 1;
    }
    if (start < n)
        lines.append(text.sliced(start));
    return lines;
}

QString saveFileAtomically(const QString& path, const std::function<bool(QIODevice&)>& write,
                           const QString& failureReason)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    if (!write(file)) {
        // Taken before cancelWriting(), which replaces any write error with its own message.
        const QString reason = file.error() != QFileDevice::NoError ? file.errorString() : failureReason;
        file.cancelWriting();
        return reason;
    }
    if (!file.commit())
        return file.errorString();
    return {};
}

bool startProgram(const QString& program, const QStringList& arguments)
{
    return QProcess::startDetached(program, arguments);
}

void showMessageBox(QWidget* parent, const QString& text, const QString& title, QMessageBox::Icon icon)
{
    if (messageBoxHandler()) {
        messageBoxHandler()(parent, text, title, icon);
        return;
    }
    QMessageBox box(icon, title, text, QMessageBox::Ok, parent);
    box.exec();
}

void setMessageBoxHandler(MessageBoxHandler handler) { messageBoxHandler() = std::move(handler); }

} // namespace orvik
