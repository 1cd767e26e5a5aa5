// SPDX-License-Identifier: GPL-3.0-or-later
#include "services.h"

#include "filemessage.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QStringDecoder>
#include <algorithm>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace orvik {

namespace {

// Opens path for reading only when it is a regular file; a link is followed.
bool openRegularFile(const QString& path, QFile& file)
{
#ifdef Q_OS_UNIX
    const QByteArray name = QFile::encodeName(path);
    struct stat info {};
    // Looked at before opening, as opening some devices already does something.
    if (::stat(name.constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    // Non-blocking, so that a FIFO put in its place meanwhile cannot hold the caller.
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return false;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) ||
        !file.open(fd, QIODevice::ReadOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    return true;
#else
    file.setFileName(path);
    return QFileInfo(path).isFile() && file.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
#endif
}

template <typename Text> qsizetype wholeLinesSize(const Text& text)
{
    return std::max(text.lastIndexOf('\n'), text.lastIndexOf('\r')) + 1;
}

QString decodeText(QByteArray bytes, bool cut)
{
    const bool littleEndian = bytes.startsWith("\xFF\xFE");
    if (littleEndian || bytes.startsWith("\xFE\xFF")) {
        QStringDecoder decoder(littleEndian ? QStringConverter::Utf16LE : QStringConverter::Utf16BE);
        QString text = decoder(QByteArrayView(bytes).sliced(2));
        if (cut)
            text.truncate(wholeLinesSize(text));
        return text;
    }
    // Cut before checking, so that a character split by the limit does not count as invalid.
    if (cut)
        bytes.truncate(wholeLinesSize(bytes));
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    const QString text = utf8(bytes);
    // A UTF-8 byte-order mark is taken at its word even when a byte after it is spoilt.
    if (!utf8.hasError() || bytes.startsWith("\xEF\xBB\xBF"))
        return text;
    return QString::fromLatin1(bytes);
}

} // namespace

QString dateText(const QDate& date) { return date.toString(QStringLiteral("ddMMyyyy")); }

QString programFolder() { return QDir::toNativeSeparators(QCoreApplication::applicationDirPath()); }

QString joinPath(const QString& folder, const QString& name) { return folder + QDir::separator() + name; }

std::optional<QString> readTextFile(const QString& path, qint64 maxBytes)
{
    QFile file;
    if (!openRegularFile(path, file))
        return std::nullopt;
    const QByteArray bytes = file.read(maxBytes);
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    return decodeText(bytes, !file.atEnd());
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

bool saveFileAtomically(const QString& path, const std::function<bool(QIODevice&)>& write,
                        const QString& failureReason, QString* error)
{
    QSaveFile file(path);
    QString reason;
    if (!file.open(QIODevice::WriteOnly)) {
        reason = file.errorString();
    } else if (!write(file)) {
        // Taken before cancelWriting(), which replaces any write error with its own message.
        reason = file.error() != QFileDevice::NoError ? file.errorString() : failureReason;
        file.cancelWriting();
    } else if (!file.commit()) {
        reason = file.errorString();
    } else {
        return true;
    }
    if (error)
        *error = fileError(path, FileStep::Written, reason);
    return false;
}

bool startProgram(const QString& program, const QStringList& arguments)
{
    return QProcess::startDetached(program, arguments);
}

} // namespace orvik
