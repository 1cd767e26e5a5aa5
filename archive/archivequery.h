// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "archive/archive.h"

#include <QList>
#include <QPointF>
#include <functional>
#include <optional>
#include <span>
#include <vector>

namespace orvik {

// The time a trend runs along: when a record was received (UTC), or the on-board clock,
// channel 0 "OBC Time". Either is an x in milliseconds: since the epoch, or since the
// on-board clock's start (its seconds times 1000).
enum class TrendTime { Received, OnBoard };

// One channel over a span: points (x, value) in x order; records without a value are left out.
struct TrendLine {
    int channel = 0;
    QList<QPointF> points;
};

struct TrendData {
    std::vector<TrendLine> lines; // in the order the channels were asked for
    qint64 records = 0;           // records in the span
    bool reduced = false;         // each column holds its minimum and maximum only
};

// SQLite's PRAGMA data_version of the archive's connection: another value once another
// connection, another program's too, has committed a change. Empty when it cannot be read.
std::optional<qint64> archiveDataVersion(const Archive& archive);

// The smallest and largest x of the archive's records; false when it holds none (error
// stays empty) or the read fails.
bool trendExtent(const Archive& archive, TrendTime time, double* lo, double* hi, QString* error);

// The x range of the records received from sinceMs to untilMs.
bool trendExtentOfReceived(const Archive& archive, TrendTime time, qint64 sinceMs, qint64 untilMs, double* lo,
                           double* hi, QString* error);

// The received times of the first and last record of the newest run of records in which no
// two neighbours lie gapMs or more apart, going back longestMs at most: the last pass. False
// when empty or failed.
bool newestRun(const Archive& archive, qint64 gapMs, qint64 longestMs, qint64* firstMs, qint64* lastMs,
               QString* error);

// The records with x in [lo, hi]. Up to 2 × columns records come whole; beyond that the span
// is cut into `columns` equal slices and each keeps, per channel, its minimum and its maximum
// as the records that hold them, so that no spike is lost. Computed in one pass over the
// rows, without sorting them.
bool readTrend(const Archive& archive, std::span<const int> channels, TrendTime time, double lo, double hi,
               int columns, TrendData* out, QString* error);

// Every record with x in [lo, hi], in x order (received time for equal x): its received
// time and the channels' values, NaN where a value is left out. The visitor returns false
// to stop.
using TrendRowVisitor = std::function<bool(qint64 receivedMs, std::span<const double> values)>;
bool forEachTrendRow(const Archive& archive, std::span<const int> channels, TrendTime time, double lo,
                     double hi, const TrendRowVisitor& visit, QString* error);

} // namespace orvik
