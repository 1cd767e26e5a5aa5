// SPDX-License-Identifier: GPL-3.0-or-later
// Recall and wrong values of the strict decoder and of the recovery, on beacons copied with
// the errors of CW heard in noise, and on seasons whose neighbouring beacons look alike.
//   bench_recover [BEACONS] [SEED]                              the tables
//   bench_recover --corpus BEACONS RATE COPIES [blank|varied|stream]   a corpus of copies
//   bench_recover --season BEACONS PERIOD STATIONS [pass|cat] [blank|varied]   a season's log
// The last two write the log on standard output, for timing orvik-tlm on it.
#include "score.h"
#include "seasoncorpus.h"

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace orvik::bench {

namespace {

constexpr std::array<double, 4> kRates{0.005, 0.01, 0.02, 0.05};
constexpr std::array<int, 5> kPeriods{30, 60, 64, 90, 120};
constexpr double kSeasonRate = 0.02;
constexpr std::size_t kDefaultBeacons = 10000;

struct Kind {
    Layout layout;
    const char* name;
};
constexpr std::array<Kind, 3> kKinds{
    {{Layout::Blank, "blank"}, {Layout::Varied, "varied"}, {Layout::Stream, "stream"}}
};

double percent(double share) { return share * 100; }

void printCopies(std::size_t beacons, std::uint64_t seed)
{
    std::printf("recovery on copies: %zu beacons a row, seed %llu\n", beacons,
                static_cast<unsigned long long>(seed));
    std::printf("  blank: blanks between the fields; varied: separators and tails as the format allows;\n"
                "  stream: varied lines as a decoder writes them (several to a line, wrapped at 80, split)\n"
                "  recall = values written right / values sent; wrong = values written wrong / values "
                "written\n");
    std::printf("%-7s %6s %6s %13s %12s %14s %13s\n", "corpus", "errors", "copies", "strict recall",
                "strict wrong", "recover recall", "recover wrong");
    for (const Kind& kind : kKinds) {
        for (const double rate : kRates) {
            for (int copies = 1; copies <= 3; ++copies) {
                const Corpus c = makeCorpus({kind.layout, beacons, rate, copies, seed});
                const Tally s = scoreStrict(c);
                const Tally r = scoreRecovery(c);
                std::printf("%-7s %4.1f %% %6d %11.2f %% %10.3f %% %12.2f %% %11.3f %%\n", kind.name,
                            rate * 100, copies, percent(s.recall()), percent(s.wrongShare()),
                            percent(r.recall()), percent(r.wrongShare()));
            }
        }
    }
}

void printSeasonRow(const SeasonOptions& o)
{
    const Corpus c = makeSeason(o);
    const Tally s = scoreStrict(c);
    const Tally r = scoreRecovery(c);
    const char* how = o.stations == 1 ? "-" : o.merge == Merge::Concatenate ? "cat" : "pass";
    std::printf("%-6s %4d s %6d %5s %7zu %6.2f %% %10.2f %% %11.2f %% %6zu %5zu %5zu %11.3f %% %12.3f %%\n",
                o.varied ? "varied" : "blank", o.period, o.stations, how, c.sent.size(),
                percent(r.copiedShare()), percent(s.keptShare()), percent(r.keptShare()), r.merged, r.split,
                keptThenLost(s, r), percent(s.wrongShare()), percent(r.wrongShare()));
}

void printSeasons(std::size_t beacons, std::uint64_t seed)
{
    const LineFormat f = seasonFormat(seed, true);
    std::printf("\nrecovery on seasons: %zu beacons a row, %.1f %% character errors, seed %llu\n", beacons,
                kSeasonRate * 100, static_cast<unsigned long long>(seed));
    std::printf("  passes of 6 to 15 minutes, hours apart; stations' logs merged one after another (cat)\n"
                "  or pass by pass (pass); blank: every line has blanks between its fields and \"0\" in\n"
                "  its tail; varied: every line has \"%s\" between its fields and\n"
                "  \"%.*s\" in its tail\n",
                std::string(f.separators.begin(), f.separators.end()).c_str(), int(f.tail.size()),
                f.tail.data());
    std::printf("  copied = true beacons with a copy in the log; kept = true beacons that got a record of\n"
                "  their own; merged = true beacons a copy of which ended in the record of another beacon\n"
                "  (a count); split = records of a beacon beyond its first (a count); lost = beacons the\n"
                "  strict decoder kept that the recovery did not keep, or merged (a count); wrong = values\n"
                "  written wrong / values written\n");
    std::printf("%-6s %6s %6s %5s %7s %8s %12s %13s %6s %5s %5s %13s %14s\n", "lines", "period", "copies",
                "merge", "beacons", "copied", "strict kept", "recover kept", "merged", "split", "lost",
                "strict wrong", "recover wrong");
    for (const bool varied : {false, true}) {
        for (const int period : kPeriods) {
            SeasonOptions o{period, beacons, kSeasonRate, 1, Merge::Interleave, varied, seed};
            printSeasonRow(o);
            for (o.stations = 2; o.stations <= 3; ++o.stations) {
                for (const Merge merge : {Merge::Concatenate, Merge::Interleave}) {
                    o.merge = merge;
                    printSeasonRow(o);
                }
            }
        }
    }
}

int writeLog(const Corpus& c)
{
    for (const std::string& line : c.lines)
        std::printf("%s\n", line.c_str());
    return std::fflush(stdout) == 0 ? 0 : 1;
}

int writeCorpus(int argc, char* argv[])
{
    CorpusOptions o;
    o.beacons = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 100000;
    o.rate = argc > 3 ? std::atof(argv[3]) : 0.02;
    o.copies = argc > 4 ? std::atoi(argv[4]) : 3;
    o.seed = 7;
    const std::string_view kind = argc > 5 ? argv[5] : "blank";
    for (const Kind& k : kKinds) {
        if (kind == k.name) {
            o.layout = k.layout;
            return writeLog(makeCorpus(o));
        }
    }
    std::fprintf(stderr, "bench_recover: no corpus \"%s\"; blank, varied or stream\n", argv[5]);
    return 2;
}

int writeSeason(int argc, char* argv[])
{
    SeasonOptions o;
    o.beacons = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : kDefaultBeacons;
    o.period = argc > 3 ? std::atoi(argv[3]) : 64;
    o.stations = argc > 4 ? std::atoi(argv[4]) : 3;
    o.rate = kSeasonRate;
    const std::string_view merge = argc > 5 ? argv[5] : "pass";
    const std::string_view lines = argc > 6 ? argv[6] : "blank";
    if (o.period <= 0 || o.stations <= 0 || (merge != "pass" && merge != "cat") ||
        (lines != "blank" && lines != "varied")) {
        std::fprintf(stderr, "bench_recover: --season BEACONS PERIOD STATIONS [pass|cat] [blank|varied]\n");
        return 2;
    }
    o.varied = lines == "varied";
    o.merge = merge == "cat" ? Merge::Concatenate : Merge::Interleave;
    return writeLog(makeSeason(o));
}

} // namespace

} // namespace orvik::bench

int main(int argc, char* argv[])
{
    using namespace orvik::bench;
    if (argc > 1 && std::strcmp(argv[1], "--corpus") == 0)
        return writeCorpus(argc, argv);
    if (argc > 1 && std::strcmp(argv[1], "--season") == 0)
        return writeSeason(argc, argv);
    const std::size_t beacons = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : kDefaultBeacons;
    const std::uint64_t seed = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 1;
    if (beacons == 0) {
        std::fprintf(stderr, "usage: bench_recover [BEACONS] [SEED]\n");
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    printCopies(beacons, seed);
    printSeasons(beacons, seed);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    std::printf("(bench_recover: %.1f s)\n", took.count());
    return std::fflush(stdout) == 0 ? 0 : 1;
}
