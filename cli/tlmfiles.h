// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace orvik {

struct TlmStreams;

// What orvik-tlm knows of a file before it reads or writes it. Names are the bytes of the
// command line, so that a name that is no valid UTF-8 still names its file.
struct FileFacts {
    // Equal for two names of one file, links followed; empty when the file is missing or
    // is a terminal or the like, where reading and writing do not meet.
    QByteArray identity;
    std::uint64_t size = 0; // of a regular file, else 0
};

// A name of the command line as messages and records show it.
inline QString shownName(const QByteArray& name) { return QFile::decodeName(name); }
// Standard input as messages and records name it.
inline QString stdinName() { return QStringLiteral("<stdin>"); }

// Whether the input can be read, without opening it: a named pipe gives its data only once.
// False, with *error, when it cannot.
bool inspectInput(const QByteArray& name, FileFacts& facts, QString* error);
// The same for a stream that is already open, such as standard input.
FileFacts inspectStream(const QIODevice& device);
FileFacts inspectOutput(const QByteArray& name);

// Opens the input for reading, unbuffered. False, with *error, when it cannot be opened.
bool openInput(QFile& file, const QByteArray& name, QString* error);

// Reads up to `max` bytes: from a pipe or a terminal what has come, waiting only while
// nothing has, so that lines written live are read as they come; QFile would wait for all
// `max`. 0 at the end, -1 on failure.
qint64 readSome(QIODevice& in, char* data, qint64 max);
// Whether a pipe or a terminal holds more to read at once; false where that cannot be told.
bool moreWaiting(QIODevice& in);

// Opens the output, unbuffered. A regular file is replaced only once committed; a pipe or a
// device cannot be replaced, and replacing its name with a file would break it: it is
// written directly, and the name of an open descriptor (/dev/stdout, /dev/fd/N) through
// that descriptor, so that a redirection keeps its file and its appending.
// Null, with *error, when it cannot be opened.
std::unique_ptr<QFileDevice> openOutput(const QByteArray& name, const TlmStreams& streams, QString* error);

// Keeps the output and hands it on in large pieces, each written to its end: a short write
// is tried again, so that a failure comes with the system's reason rather than none. The
// target is best unbuffered, as its own buffer would hide the reason again.
class OutputBuffer : public QIODevice {
public:
    explicit OutputBuffer(QIODevice& target);
    // Writes out what is kept. False, with the reason as errorString(), once a write failed.
    bool finish();

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override;

private:
    bool drain();
    bool writeOut(const char* data, std::size_t size);
    bool fail();

    QIODevice& m_target;
    std::string m_kept;
    bool m_failed = false;
};

} // namespace orvik
