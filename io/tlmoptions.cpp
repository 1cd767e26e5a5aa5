// SPDX-License-Identifier: GPL-3.0-or-later
#include "tlmoptions.h"

#include <QStringList>
#include <array>

namespace orvik {

namespace {

enum Option { Output, Format, DecimalPoint, Check, Dedupe, Help, Version, kOptionCount };

struct OptionName {
    QLatin1StringView name;
    Option option;
};

constexpr std::array<OptionName, 9> kOptionNames{
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
     }
};

bool takesValue(Option option) { return option == Output || option == Format || option == DecimalPoint; }

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
        "  -h, --help           show this help\n"
        "  --version            show the version\n"
        "\n"
        "Exit status: 0 records written, 1 no beacon line found, 2 error.\n");
}

bool parseTlmArguments(const QList<QByteArray>& arguments, TlmOptions& options, QString& error)
{
    ArgumentReader reader(arguments);
    if (!reader.read()) {
        error = reader.errorText();
        return false;
    }

    options = TlmOptions();
    options.help = reader.isSet(Help);
    options.version = reader.isSet(Version);
    options.check = reader.isSet(Check);
    options.dedupe = reader.isSet(Dedupe);
    options.outputPath = reader.value(Output);
    options.inputs = reader.positional();
    if (reader.isSet(Output) && options.outputPath.isEmpty()) {
        error = QStringLiteral("the output file name is empty");
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
        error = QStringLiteral("unknown format '%1' (csv or jsonl)").arg(formatName);
        return false;
    }
    if (reader.isSet(DecimalPoint)) {
        const QString sep = shown(reader.value(DecimalPoint));
        if (sep != QLatin1String(".") && sep != QLatin1String(",")) {
            error = QStringLiteral("the decimal point must be '.' or ',', not '%1'").arg(sep);
            return false;
        }
        options.decimalPoint = sep.toStdString();
    }
    return true;
}

} // namespace orvik
