// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/batch.h"

#include <QCoreApplication>
#include <QFile>
#include <cerrno>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#endif

int main(int argc, char* argv[])
{
    // A closed standard descriptor would go to the next file opened, which would then pass
    // for standard input or output: it is filled with /dev/null, and its stream left closed.
    bool closed[3] = {};
    bool errIsTerminal = false;
#ifdef Q_OS_UNIX
    for (int fd = 0; fd < 3; ++fd) {
        closed[fd] = ::fcntl(fd, F_GETFD) < 0 && errno == EBADF;
        if (closed[fd] && ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY) != fd)
            return 2;
    }
    errIsTerminal = !closed[2] && isatty(STDERR_FILENO) == 1;
#endif
    // The arguments as given: a file name need not be valid UTF-8.
    QList<QByteArray> arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QByteArray(argv[i]));

    QCoreApplication app(argc, argv);
    QFile in;
    QFile out;
    QFile err;
    if (!closed[0])
        in.open(0, QIODevice::ReadOnly | QIODevice::Unbuffered);
    // runTlm keeps the output in large pieces itself, and needs to see every short write.
    if (!closed[1])
        out.open(1, QIODevice::WriteOnly | QIODevice::Unbuffered);
    if (!closed[2])
        err.open(2, QIODevice::WriteOnly | QIODevice::Unbuffered);
    const orvik::TlmStreams streams{in, out, err, errIsTerminal};
    return orvik::runTlm(arguments, streams);
}
