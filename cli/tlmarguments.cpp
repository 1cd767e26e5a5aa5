// SPDX-License-Identifier: GPL-3.0-or-later
#include "tlmarguments.h"

#include "archive/archive.h"

#include <QDateTime>
#include <QStringList>
#include <array>

namespace orvik {

namespace {

enum Option {
    Output,
    Format,
    DecimalPoint,
    Check,
    Dedupe,
    Help,
    Version,
    ToArchive,
    FromArchive,
    Received,
    Since,
    Until,
    Recover,
    Verify,
    Adds,
    UndoAdd,
    Quiet,
    kOptionCount
};

struct OptionName {
    QLatin1StringView name;
    Option option;
};

constexpr std::array<OptionName, 19> kOptionNames{
    {
     {QLatin1StringView("o"), Output},
     {QLatin1StringView("output"), Output},
     {QLatin1StringView("format"), Format},
     {QLatin1StringView("decimal-point"), DecimalPoint},
     {QLatin1StringView("check"), Check},
     {QLatin1StringView("dedupe"), Dedupe},
     {QLatin1StringView("h"), Help},
     {QLatin1StringView("help"), Help},
     {QLatin1StringView("version"), Version},
     {QLatin1StringView("archive"), ToArchive},
     {QLatin1StringView("from-archive"), FromArchive},
     {QLatin1StringView("received"), Received},
     {QLatin1StringView("since"), Since},
     {QLatin1StringView("until"), Until},
     {QLatin1StringView("recover"), Recover},
     {QLatin1StringView("verify"), Verify},
     {QLatin1StringView("adds"), Adds},
     {QLatin1StringView("undo-add"), UndoAdd},
     {QLatin1StringView("quiet"), Quiet},
     }
};

bool takesValue(Option option)
{
    return option == Output || option == Format || option == DecimalPoint || option == ToArchive ||
           option == FromArchive || option == Received || option == Since || option == Until ||
           option == UndoAdd;
}

QString shown(const QByteArray& bytes) { return QString::fromLocal8Bit(bytes); }

// What QCommandLineParser would make of the arguments, with values and positional
// arguments kept as bytes.
class ArgumentReader {
public:
    explicit ArgumentReader(const QList<QByteArray>& arguments)
        : m_args(arguments)
    {}

    bool read()
    {
        bool ok = true;
        bool positionalOnly = false;
        for (m_at = 1; m_at < m_args.size(); ++m_at) {
            const QByteArray& argument = m_args[m_at];
            if (positionalOnly || !argument.startsWith('-') || argument == "-") {
                m_positional.append(argument);
            } else if (argument == "--") {
                positionalOnly = true;
            } else if (argument.startsWith("--")) {
                const QString name = shown(argument.mid(2)).section(QLatin1Char('='), 0, 0);
                const int option = find(name);
                ok = option >= 0 && takeValue(Option(option), argument) && ok;
            } else {
                ok = readShortOptions(argument) && ok;
            }
        }
        return ok;
    }

    QString errorText() const
    {
        if (!m_error.isEmpty())
            return m_error;
        if (m_unknown.size() == 1)
            return QStringLiteral("Unknown option '%1'.").arg(m_unknown.first());
        return QStringLiteral("Unknown options: %1.").arg(m_unknown.join(QStringLiteral(", ")));
    }

    bool isSet(Option option) const { return m_set[option]; }
    const QByteArray& value(Option option) const { return m_values[option]; }
    const QList<QByteArray>& positional() const { return m_positional; }

private:
    int find(const QString& name)
    {
        for (const OptionName& known : kOptionNames) {
            if (name == known.name) {
                m_set[known.option] = true;
                return known.option;
            }
        }
        m_unknown.append(name);
        return -1;
    }

    // "-abc" is -a -b -c; an option with a value takes the rest of the word, or the next one.
    bool readShortOptions(const QByteArray& argument)
    {
        const QString text = shown(argument);
        bool ok = true;
        int option = -1;
        for (qsizetype pos = 1; pos < text.size(); ++pos) {
            option = find(text.mid(pos, 1));
            if (option < 0) {
                ok = false;
                continue;
            }
            const bool valueFollows = pos + 1 < text.size();
            if (takesValue(Option(option))) {
                if (!valueFollows)
                    break;
                // Every letter before it was a known option, so characters count bytes here.
                m_values[option] = argument.mid(pos + (text[pos + 1] == QLatin1Char('=') ? 2 : 1));
                return ok;
            }
            if (valueFollows && text[pos + 1] == QLatin1Char('='))
                break;
        }
        return (option < 0 || takeValue(Option(option), argument)) && ok;
    }

    bool takeValue(Option option, const QByteArray& argument)
    {
        const qsizetype assign = argument.indexOf('=');
        if (!takesValue(option)) {
            if (assign < 0)
                return true;
            m_error = QStringLiteral("Unexpected value after '%1'.").arg(shown(argument.left(assign)));
            return false;
        }
        if (assign >= 0) {
            m_values[option] = argument.mid(assign + 1);
            return true;
        }
        if (++m_at == m_args.size()) {
            m_error = QStringLiteral("Missing value after '%1'.").arg(shown(argument));
            return false;
        }
        m_values[option] = m_args[m_at];
        return true;
    }

    const QList<QByteArray>& m_args;
    qsizetype m_at = 1;
    std::array<bool, kOptionCount> m_set{};
    std::array<QByteArray, kOptionCount> m_values{};
    QList<QByteArray> m_positional;
    QStringList m_unknown;
    QString m_error;
};

// --since and --until also take a plain date: from the start of that day, up to its end.
bool readTime(const ArgumentReader& reader, Option option, const char* name, qint64* ms, QString* error)
{
    if (!reader.isSet(option))
        return true;
    const QString text = shown(reader.value(option));
    if (parseArchiveTime(text, ms))
        return true;
    const QDate day = QDate::fromString(text.trimmed(), Qt::ISODate);
    if (option != Received && day.isValid()) {
        const QDate from = option == Until ? day.addDays(1) : day;
        *ms = QDateTime(from, QTime(0, 0), Qt::UTC).toMSecsSinceEpoch() - (option == Until ? 1 : 0);
        return true;
    }
    *error = QStringLiteral("--%1 wants a UTC time such as 2026-12-08T19:53:00Z%2, not '%3'")
                 .arg(QLatin1StringView(name),
                      option == Received ? QString() : QStringLiteral(" or a date such as 2026-12-08"), text);
    return false;
}

// The options of the archive, and what cannot go with them.
bool readArchiveOptions(const ArgumentReader& reader, TlmOptions& options, QString* error)
{
    options.archivePath = reader.value(ToArchive);
    options.fromArchive = reader.value(FromArchive);
    const auto refuse = [&](const char* text) {
        *error = QString::fromLatin1(text);
        return false;
    };
    if ((reader.isSet(ToArchive) && options.archivePath.isEmpty()) ||
        (reader.isSet(FromArchive) && options.fromArchive.isEmpty()))
        return refuse("the archive file name is empty");
    if (reader.isSet(ToArchive) && reader.isSet(FromArchive))
        return refuse("--archive and --from-archive cannot go together");
    if (reader.isSet(ToArchive) && (reader.isSet(Output) || reader.isSet(Format)))
        return refuse("--archive writes no records: -o and --format cannot go with it");
    if (reader.isSet(ToArchive) && reader.isSet(Dedupe))
        return refuse("--dedupe cannot go with --archive, which keeps every beacon line once anyway");
    if (reader.isSet(FromArchive) && !options.inputs.isEmpty())
        return refuse("--from-archive reads no input files");
    if (reader.isSet(FromArchive) && (reader.isSet(Check) || reader.isSet(Dedupe)))
        return refuse("--check and --dedupe cannot go with --from-archive");
    if (reader.isSet(Received) && !reader.isSet(ToArchive))
        return refuse("--received goes only with --archive");
    if (reader.isSet(Verify) && !reader.isSet(ToArchive))
        return refuse("--verify goes only with --archive FILE");
    if (reader.isSet(Verify) && !options.inputs.isEmpty())
        return refuse("--verify reads the archive alone, no input files");
    if (reader.isSet(Verify) && (reader.isSet(Received) || reader.isSet(Recover) || reader.isSet(Check) ||
                                 reader.isSet(DecimalPoint)))
        return refuse("--verify cannot go with --received, --recover, --check or --decimal-point");
    options.verify = reader.isSet(Verify);
    // --adds and --undo-add, like --verify, work on the archive alone.
    const int maintenance = int(reader.isSet(Verify)) + int(reader.isSet(Adds)) + int(reader.isSet(UndoAdd));
    if (maintenance > 1)
        return refuse("--verify, --adds and --undo-add go one at a time");
    if ((reader.isSet(Adds) || reader.isSet(UndoAdd)) &&
        (!reader.isSet(ToArchive) || !options.inputs.isEmpty() || reader.isSet(Received) ||
         reader.isSet(Recover) || reader.isSet(Check) || reader.isSet(DecimalPoint)))
        return refuse("--adds and --undo-add go only with --archive FILE, and no input files");
    options.listAdds = reader.isSet(Adds);
    if (reader.isSet(UndoAdd)) {
        bool number = false;
        options.undoAdd = QString::fromLatin1(reader.value(UndoAdd)).toLongLong(&number);
        if (!number || options.undoAdd <= 0) {
            *error = QStringLiteral("--undo-add wants the number of an add, as --adds lists them, not '%1'")
                         .arg(shown(reader.value(UndoAdd)));
            return false;
        }
    }
    if ((reader.isSet(Since) || reader.isSet(Until)) && !reader.isSet(FromArchive))
        return refuse("--since and --until go only with --from-archive");
    qint64 received = 0;
    if (!readTime(reader, Received, "received", &received, error) ||
        !readTime(reader, Since, "since", &options.sinceMs, error) ||
        !readTime(reader, Until, "until", &options.untilMs, error))
        return false;
    if (reader.isSet(Received))
        options.receivedMs = received;
    if (options.sinceMs > options.untilMs)
        return refuse("--since is later than --until");
    return true;
}

} // namespace

QString tlmHelpText()
{
    return QStringLiteral(
        "Usage: orvik-tlm [OPTIONS] [FILE...]\n"
        "Decodes every beacon line of the Orvik CW beacon in the FILEs, read in order, or in\n"
        "standard input when no FILE is given; a FILE \"-\" is standard input too. A FILE holds\n"
        "UTF-8, or UTF-16 when it starts with its byte-order mark. Lines may end in CR LF, LF\n"
        "or CR.\n"
        "\n"
        "  --format csv|jsonl   csv (default): the window's export, a header of captions, \";\"\n"
        "                       after every field, CR LF line ends; jsonl: one JSON object per\n"
        "                       record with \"record\", \"line\" (in its file), \"file\" when\n"
        "                       several FILEs are given, and the 31 values keyed by caption\n"
        "  --decimal-point .|,  the decimal separator of csv numbers (default: the one of the\n"
        "                       regional settings)\n"
        "  -o, --output FILE    write to FILE, which must not be one of the inputs (default:\n"
        "                       standard output, also for \"-\"). FILE is replaced only once the\n"
        "                       output is complete and holds a record: when no beacon line is\n"
        "                       found, an older FILE stays as it was and none is made. A name\n"
        "                       of an open descriptor, such as /dev/stdout or /dev/fd/3, is\n"
        "                       written through that descriptor\n"
        "  --check              tell on standard error why lines that look like beacons were\n"
        "                       not decoded, and which decoded fields hold no hex digits\n"
        "  --dedupe             leave out beacon lines that repeat an earlier one, letter case\n"
        "                       aside\n"
        "  --quiet              say nothing of lines that look like beacons but were not\n"
        "                       decoded: without it, a run that met some ends with a line on\n"
        "                       standard error that counts them\n"
        "  --recover            also decode damaged copies: lines are cut into frames at their\n"
        "                       tags, copies of one beacon (the same on-board time, or nearly\n"
        "                       the same characters) are merged by a vote on each character,\n"
        "                       and a value is written only when every character of its field\n"
        "                       is certain; a value left out is an empty csv field, or null in\n"
        "                       jsonl, which adds \"copies\", \"lines\" and \"left_out\". With\n"
        "                       --check, tells which lines each record took, what the vote\n"
        "                       changed and why a value was left out\n"
        "  --archive FILE       add the beacon lines to the archive FILE as copies, instead of\n"
        "                       writing records, and tell \"n added, m already there\" on\n"
        "                       standard error: a line that came from the same source before\n"
        "                       is there already. A copy joins the record of its beacon, which\n"
        "                       is voted again from all its copies; each add is numbered.\n"
        "                       FILE is made when missing; a file that is no archive is left\n"
        "                       as it is\n"
        "  --received TIME      when the first beacon of each input was received, in UTC, as\n"
        "                       ISO 8601: 2026-12-08T19:53:00Z (default: the input file's\n"
        "                       modification time; for standard input, now). The others are\n"
        "                       dated from it by their on-board time; where that goes back\n"
        "                       (a reset), each run of beacons is dated from TIME, and the\n"
        "                       add says so\n"
        "  --from-archive FILE  write the records of the archive FILE, oldest first, as csv\n"
        "                       (with a leading \"Received (UTC)\" column) or jsonl (with\n"
        "                       \"received\", \"source\" and \"copies\"); a value left out is an\n"
        "                       empty field or null\n"
        "  --verify             with --archive FILE and no input: run SQLite's integrity\n"
        "                       check on FILE, vote every record again from its copies and\n"
        "                       tell each value that differs from the one stored (exit\n"
        "                       status 1 when one does, 2 when the file is damaged)\n"
        "  --adds               with --archive FILE and no input: list the adds kept in FILE,\n"
        "                       oldest first, a line each that starts with its number\n"
        "  --undo-add N         with --archive FILE and no input: take back exactly what add\n"
        "                       N brought; records left without a copy go, the others are\n"
        "                       voted again\n"
        "  --since TIME         with --from-archive: only records received at TIME or later;\n"
        "                       a date (2026-12-08) is the start of that day\n"
        "  --until TIME         with --from-archive: only records received at TIME or earlier;\n"
        "                       a date is the end of that day\n"
        "  -h, --help           show this help\n"
        "  --version            show the version\n"
        "\n"
        "Exit status: 0 records written (or added), 1 no beacon line found (no record in the\n"
        "archive's range), 2 error.\n");
}

bool parseTlmArguments(const QList<QByteArray>& arguments, TlmOptions& options, QString* error)
{
    QString unwanted;
    if (!error)
        error = &unwanted;
    ArgumentReader reader(arguments);
    if (!reader.read()) {
        *error = reader.errorText();
        return false;
    }

    options = TlmOptions();
    options.help = reader.isSet(Help);
    options.version = reader.isSet(Version);
    options.check = reader.isSet(Check);
    options.dedupe = reader.isSet(Dedupe);
    options.quiet = reader.isSet(Quiet);
    options.recover = reader.isSet(Recover);
    if (options.recover && reader.isSet(FromArchive)) {
        *error = QStringLiteral("--recover cannot go with --from-archive, which decodes nothing");
        return false;
    }
    options.outputPath = reader.value(Output);
    options.inputs = reader.positional();
    if (reader.isSet(Output) && options.outputPath.isEmpty()) {
        *error = QStringLiteral("the output file name is empty");
        return false;
    }
    if (options.outputPath == "-")
        options.outputPath.clear();
    const QString formatName = reader.isSet(Format) ? shown(reader.value(Format)) : QStringLiteral("csv");
    if (formatName == QLatin1String("csv")) {
        options.format = TlmFormat::Csv;
    } else if (formatName == QLatin1String("jsonl")) {
        options.format = TlmFormat::JsonLines;
    } else {
        *error = QStringLiteral("unknown format '%1' (csv or jsonl)").arg(formatName);
        return false;
    }
    if (reader.isSet(DecimalPoint)) {
        const QString sep = shown(reader.value(DecimalPoint));
        if (sep != QLatin1String(".") && sep != QLatin1String(",")) {
            *error = QStringLiteral("the decimal point must be '.' or ',', not '%1'").arg(sep);
            return false;
        }
        options.decimalPoint = sep.toStdString();
    }
    return readArchiveOptions(reader, options, error);
}

} // namespace orvik
