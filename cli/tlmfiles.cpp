// SPDX-License-Identifier: GPL-3.0-or-later
#include "tlmfiles.h"

#include "batch.h"
#include "format/tlmformat.h"
#include "platform/filemessage.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace orvik {

namespace {

#ifdef Q_OS_UNIX

FileFacts factsOf(const struct stat& st)
{
    FileFacts facts;
    if (!S_ISCHR(st.st_mode))
        facts.identity =
            QByteArray::number(quint64(st.st_dev)) + ':' + QByteArray::number(quint64(st.st_ino));
    if (S_ISREG(st.st_mode))
        facts.size = std::uint64_t(st.st_size);
    return facts;
}

bool isNumber(QByteArrayView text)
{
    if (text.isEmpty() || text.size() > 9)
        return false;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

// The folder of this process's descriptors as realpath() gives it, also for /dev/fd,
// /proc/self/fd and /proc/thread-self/fd.
bool isOwnDescriptorFolder(const QByteArray& folder)
{
    const QByteArray own = "/proc/" + QByteArray::number(qint64(::getpid())) + '/';
    if (folder == own + "fd")
        return true;
    const QByteArray task = own + "task/";
    return folder.startsWith(task) && folder.endsWith("/fd") &&
           isNumber(QByteArrayView(folder).sliced(task.size(), folder.size() - task.size() - 3));
}

// The descriptor that a name such as /dev/stdout leads to, or -1. Links are followed one at
// a time, so that the descriptor's own link, which leads on to its file, is never followed.
int descriptorNamed(const QByteArray& name)
{
    QByteArray path = name;
    for (int hop = 0; hop < 40; ++hop) {
        const qsizetype slash = path.lastIndexOf('/');
        const QByteArray folder = slash < 0    ? QByteArray(".")
                                  : slash == 0 ? QByteArray("/")
                                               : path.left(slash);
        const QByteArray last = path.mid(slash + 1);
        char real[PATH_MAX];
        if (last.isEmpty() || !::realpath(folder.constData(), real))
            return -1;
        QByteArray realFolder(real);
        if (isOwnDescriptorFolder(realFolder) && isNumber(last))
            return last.toInt();
        if (!realFolder.endsWith('/'))
            realFolder += '/';
        char target[PATH_MAX];
        const ssize_t size = ::readlink((realFolder + last).constData(), target, sizeof target);
        if (size <= 0)
            return -1;
        path = QByteArray(target, qsizetype(size));
        if (!path.startsWith('/'))
            path.prepend(realFolder);
    }
    return -1;
}

std::unique_ptr<QFileDevice> adoptForWriting(int fd, QString* reason)
{
    auto file = std::make_unique<QFile>();
    if (file->open(fd, QIODevice::WriteOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle))
        return file;
    *reason = file->errorString();
    ::close(fd);
    return nullptr;
}

#endif

// False, with *error naming the file, where error is not null.
bool cannotOpen(const QByteArray& name, const QString& reason, QString* error)
{
    if (error)
        *error = fileError(shownName(name), FileStep::Opened, reason);
    return false;
}

} // namespace

bool inspectInput(const QByteArray& name, FileFacts& facts, QString* error)
{
    const auto refuse = [&](const QString& reason) { return cannotOpen(name, reason, error); };
#ifdef Q_OS_UNIX
    struct stat st {};
    if (::stat(name.constData(), &st) != 0)
        return refuse(qt_error_string(errno));
    if (S_ISDIR(st.st_mode))
        return refuse(qt_error_string(EISDIR));
    if (::access(name.constData(), R_OK) != 0)
        return refuse(qt_error_string(errno));
    facts = factsOf(st);
    return true;
#else
    const QFileInfo info(QFile::decodeName(name));
    if (!info.exists() || info.isDir() || !info.isReadable()) {
        return refuse(!info.exists() ? QStringLiteral("No such file or directory")
                      : info.isDir() ? QStringLiteral("Is a directory")
                                     : QStringLiteral("Permission denied"));
    }
    facts.identity = info.canonicalFilePath().toUtf8();
    facts.size = info.isFile() ? std::uint64_t(info.size()) : 0;
    return true;
#endif
}

FileFacts inspectStream(const QIODevice& device)
{
#ifdef Q_OS_UNIX
    const auto* file = qobject_cast<const QFileDevice*>(&device);
    struct stat st {};
    if (file && file->isOpen() && file->handle() >= 0 && ::fstat(file->handle(), &st) == 0)
        return factsOf(st);
#else
    Q_UNUSED(device);
#endif
    return {};
}

FileFacts inspectOutput(const QByteArray& name)
{
#ifdef Q_OS_UNIX
    struct stat st {};
    if (::stat(name.constData(), &st) == 0)
        return factsOf(st);
    return {};
#else
    const QFileInfo info(QFile::decodeName(name));
    FileFacts facts;
    if (info.exists())
        facts.identity = info.canonicalFilePath().toUtf8();
    return facts;
#endif
}

qint64 readSome(QIODevice& in, char* data, qint64 max)
{
#ifdef Q_OS_UNIX
    auto* file = qobject_cast<QFile*>(&in);
    if (file && in.isSequential() && file->handle() >= 0 && (in.openMode() & QIODevice::Unbuffered)) {
        for (;;) {
            const ssize_t n = ::read(file->handle(), data, std::size_t(max));
            if (n >= 0)
                return n;
            if (errno != EINTR)
                break; // QFile reads again, to tell why
        }
    }
#endif
    return in.read(data, max);
}

bool moreWaiting(QIODevice& in)
{
#ifdef Q_OS_UNIX
    auto* file = qobject_cast<QFile*>(&in);
    if (file && file->handle() >= 0) {
        pollfd p{file->handle(), POLLIN, 0};
        return ::poll(&p, 1, 0) == 1 && (p.revents & POLLIN);
    }
#endif
    (void)in;
    return false;
}

bool openInput(QFile& file, const QByteArray& name, QString* error)
{
    const auto refuse = [&](const QString& reason) { return cannotOpen(name, reason, error); };
#ifdef Q_OS_UNIX
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return refuse(qt_error_string(errno));
    if (file.open(fd, QIODevice::ReadOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle))
        return true;
    ::close(fd);
#else
    file.setFileName(QFile::decodeName(name));
    if (file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return true;
#endif
    return refuse(file.errorString());
}

namespace {

std::unique_ptr<QFileDevice> openOutputFile(const QByteArray& name, const TlmStreams& streams,
                                            QString* reason)
{
#ifdef Q_OS_UNIX
    if (const int fd = descriptorNamed(name); fd >= 0) {
        // A standard descriptor that was closed at the start was only filled, with /dev/null.
        const QIODevice* const standard[] = {&streams.in, &streams.out, &streams.err};
        const auto* stream = fd <= 2 ? qobject_cast<const QFileDevice*>(standard[fd]) : nullptr;
        const int copy = stream && !stream->isOpen() ? -1 : ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
        if (copy < 0) {
            *reason = qt_error_string(stream && !stream->isOpen() ? EBADF : errno);
            return nullptr;
        }
        return adoptForWriting(copy, reason);
    }
    struct stat st {};
    if (::stat(name.constData(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) {
        const int fd = ::open(name.constData(), O_WRONLY | O_CLOEXEC);
        if (fd < 0) {
            *reason = qt_error_string(errno);
            return nullptr;
        }
        return adoptForWriting(fd, reason);
    }
#else
    Q_UNUSED(streams);
#endif
    // QSaveFile takes a name as text: one that does not come back as the same bytes would
    // name another file.
    const QString path = QFile::decodeName(name);
    if (QFile::encodeName(path) != name) {
        *reason =
            QStringLiteral("a name that is not valid UTF-8 cannot be replaced safely; write to standard "
                           "output instead");
        return nullptr;
    }
    std::unique_ptr<QFileDevice> file;
#ifndef Q_OS_UNIX
    const QFileInfo info(path);
    if (info.exists() && !info.isFile() && !info.isDir())
        file = std::make_unique<QFile>(path);
#endif
    if (!file)
        file = std::make_unique<QSaveFile>(path);
    if (file->open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return file;
    *reason = file->errorString();
    return nullptr;
}

} // namespace

std::unique_ptr<QFileDevice> openOutput(const QByteArray& name, const TlmStreams& streams, QString* error)
{
    QString reason;
    std::unique_ptr<QFileDevice> file = openOutputFile(name, streams, &reason);
    if (!file)
        cannotOpen(name, reason, error);
    return file;
}

OutputBuffer::OutputBuffer(QIODevice& target)
    : m_target(target)
{
    open(QIODevice::WriteOnly | QIODevice::Unbuffered);
}

bool OutputBuffer::finish()
{
    if (!drain())
        return false;
    auto* file = qobject_cast<QFileDevice*>(&m_target);
    return !file || file->flush() || fail();
}

qint64 OutputBuffer::writeData(const char* data, qint64 size)
{
    // A whole piece goes on as it stands, without a copy.
    if (m_kept.empty() && std::size_t(size) >= kIoPiece)
        return writeOut(data, std::size_t(size)) ? size : -1;
    m_kept.append(data, std::size_t(size));
    if (m_kept.size() >= kIoPiece && !drain())
        return -1;
    return m_failed ? -1 : size;
}

bool OutputBuffer::drain()
{
    writeOut(m_kept.data(), m_kept.size());
    m_kept.clear();
    return !m_failed;
}

bool OutputBuffer::writeOut(const char* data, std::size_t size)
{
    for (std::size_t done = 0; !m_failed && done < size;) {
        const qint64 n = m_target.write(data + done, qint64(size - done));
        if (n <= 0)
            fail();
        else
            done += std::size_t(n);
    }
    return !m_failed;
}

bool OutputBuffer::fail()
{
    m_failed = true;
    setErrorString(m_target.errorString());
    return false;
}

} // namespace orvik
