// SPDX-License-Identifier: GPL-3.0-or-later
#include "datapanels.h"

#include "decoder/diagnose.h"
#include "decoder/hexconv.h"
#include "look.h"
#include "platform/numbertext.h"
#include "widgets/geometry.h"
#include "widgets/optionbutton.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <algorithm>
#include <cmath>
#include <limits>

namespace orvik {

namespace {

const QColor kFrameCaption(128, 128, 128);
const QColor kHighlight(255, 255, 192);
// Marks the value box of the charted channel; the state lives in the control itself.
constexpr char kHighlightedProperty[] = "highlighted";
// Doubtful values: dark red on a light box, light orange on a dark one.

// The words the status channels show; every value not listed gives the fallback.
struct Word {
    double value;
    const char* text;
};

// clang-format off
constexpr Word kAntennaWords[]   = {{1, "DEPLOYED"}};
constexpr Word kCwDutyWords[]    = {{3, "LARGER"}, {2, "DEFAULT"}, {1, "SMALLER"}, {0, "NORMAL"}};
constexpr Word kStartWords[]     = {{0, "NORMAL"}};
constexpr Word kChargeWords[]    = {{0, "QUICK"}};
constexpr Word kObcWords[]       = {{0, "ALIVE"}};
constexpr Word kTncWords[]       = {{0, "WAITING"}};
// clang-format on

QString wordFor(double v, std::span<const Word> words, const char* fallback)
{
    for (const Word& w : words) {
        if (v == w.value)
            return QString::fromLatin1(w.text);
    }
    return QString::fromLatin1(fallback);
}

} // namespace

DataPanels::DataPanels(QWidget* client)
{
    const QString sansSerif = layoutSansSerif();
    for (const layout::PanelLayout& panel : layout::kPanels) {
        auto* frame = new QGroupBox(toQString(panel.caption), client);
        frame->setObjectName(toQString(panel.name));
        frame->setGeometry(pixels(panel.box));
        frame->setFont(layoutFont(sansSerif, kLayoutPointSize, true));
        if (panel.panel == layout::Panel::Time)
            setBackground(frame, layoutBackground());
        else
            setTextColour(frame, kFrameCaption);
        m_frames[std::size_t(panel.panel)] = frame;
    }

    const QFont regular = layoutFont(sansSerif, kLayoutPointSize);
    for (int i = 0; i < kChannelCount; ++i) {
        const layout::ChannelRow& row = layout::kChannelRows[std::size_t(i)];
        const Channel& ch = kChannels[std::size_t(i)];
        QGroupBox* panel = m_frames[std::size_t(row.panel)];

        auto* option = new OptionButton(i, panel);
        option->setObjectName(QStringLiteral("Option1_%1").arg(i));
        option->setGeometry(
            twipsRect(layout::kOptionLeft, row.top, layout::kOptionWidth, layout::kOptionHeight));
        option->setFont(regular);
        setTextColour(option, Qt::black);
        m_options[std::size_t(i)] = option;

        auto* value = new QLineEdit(panel);
        value->setObjectName(QStringLiteral("Text1_%1").arg(i));
        value->setGeometry(twipsRect(layout::kValueLeft, row.top, row.valueWidth, layout::kValueHeight));
        value->setFont(i == 0 ? layoutFont(sansSerif, kLayoutPointSize, true) : regular);
        value->setReadOnly(true);
        value->setText(i == 0 ? QString() : QStringLiteral("invalid"));
        value->setTextMargins(0, 0, 0, 0);
        const QString unit = toQString(ch.unit);
        value->setAccessibleName(unit.isEmpty() ? toQString(ch.caption)
                                                : toQString(ch.caption) + u' ' + unit);
        m_values[std::size_t(i)] = value;
        // Its own colours, not the grey its panel's caption passes on.
        updateValueLook(i);

        QLabel* label = nullptr;
        if (i == 0) {
            label = new QLabel(unit, panel);
            label->setGeometry(pixels(layout::kTimeUnitLabel));
        } else if (i <= 9) {
            label = new QLabel(unit, client);
            label->setGeometry(twipsRect(layout::kOffWindowUnitLeft,
                                         layout::kOffWindowUnitTop + (i - 1) * layout::kOffWindowUnitStep,
                                         layout::kUnitWidth, layout::kUnitHeight));
        } else {
            label = new QLabel(unit, panel);
            label->setGeometry(
                twipsRect(layout::kUnitLeft, row.top, layout::kUnitWidth, layout::kUnitHeight));
        }
        label->setObjectName(QStringLiteral("Label1_%1").arg(i));
        label->setFont(regular);
        setTextColour(label, Qt::black);
        m_units[std::size_t(i)] = label;
    }
}

void DataPanels::showRecord(const Record& r, const std::array<QString, kChannelCount>& doubts)
{
    // A value left out shows its mark; the others are worded only when there is a value.
    const auto set = [this, &r](int channel, const auto& text) {
        m_values[std::size_t(channel)]->setText(std::isnan(r[std::size_t(channel)]) ? kLeftOutMark : text());
    };
    if (!m_shown) {
        m_shown = true;
        for (int i = 0; i < kChannelCount; ++i)
            updateValueLook(i);
    }

    set(0, [&r] {
        const double seconds = std::nearbyint(r[0]);
        const auto n = std::int32_t(std::clamp(seconds, double(std::numeric_limits<std::int32_t>::min()),
                                               double(std::numeric_limits<std::int32_t>::max())));
        return wholeNumberText(r[0]) + QStringLiteral(" => ") + QString::fromStdString(SecToTime(n));
    });
    for (int i = 1; i <= 3; ++i)
        set(i, [&r, i] { return wholeNumberText(r[std::size_t(i)]); });
    set(4, [&r] { return wordFor(r[4], kAntennaWords, "UNDEPLOYED"); });
    set(5, [&r] { return wordFor(r[5], kCwDutyWords, ""); });
    set(6, [&r] { return wordFor(r[6], kStartWords, "TIMER"); });
    set(7, [&r] { return wordFor(r[7], kChargeWords, "STOP"); });
    set(8, [&r] { return wordFor(r[8], kObcWords, "?"); });
    set(9, [&r] { return wordFor(r[9], kTncWords, "?"); });
    for (int i = 10; i < kChannelCount; ++i)
        set(i, [&r, i] { return fixed2NumberText(r[std::size_t(i)]); });

    for (int i = 0; i < kChannelCount; ++i)
        setDoubt(i, doubts[std::size_t(i)]);
}

void DataPanels::setDoubt(int channel, const QString& reason)
{
    QLineEdit* box = m_values[std::size_t(channel)];
    if (box->toolTip() == reason)
        return;
    box->setToolTip(reason);
    box->setAccessibleDescription(reason);
    updateValueLook(channel);
}

void DataPanels::setHighlight(int channel, bool on)
{
    m_values[std::size_t(channel)]->setProperty(kHighlightedProperty, on);
    updateValueLook(channel);
}

void DataPanels::setEmpty(bool empty)
{
    m_empty = empty;
    for (int i = 0; i < kChannelCount; ++i)
        updateValueLook(i);
}

// A value box's colours follow from its state: highlighted as the charted channel (pale
// yellow, whatever the palette, so its text is dark), doubtful, or showing no record.
void DataPanels::updateValueLook(int channel)
{
    QLineEdit* box = m_values[std::size_t(channel)];
    const QPalette desktop = QApplication::palette();
    const bool highlighted = box->property(kHighlightedProperty).toBool();
    const QColor background = highlighted ? kHighlight : desktop.color(QPalette::Base);
    QColor text = highlighted || usesDesignColours() ? QColor(Qt::black) : desktop.color(QPalette::Text);
    // A value left out is no value in doubt: its mark says so, in the text colour.
    if (!box->toolTip().isEmpty() && box->text() != kLeftOutMark)
        text = doubtColour(background);
    if (m_empty && m_shown)
        text = desktop.color(QPalette::Disabled, QPalette::Text);
    QPalette p = box->palette();
    if (p.color(QPalette::Base) == background && p.color(QPalette::Text) == text)
        return;
    p.setColor(QPalette::Base, background);
    p.setColor(QPalette::Text, text);
    box->setPalette(p);
}

QString leftOutNote(LeftOut reason) { return QStringLiteral("Left out: ") + toQString(leftOutText(reason)); }

std::array<QString, kChannelCount> recordDoubts(const LogReport& report,
                                                std::span<const std::u16string_view> lines, int record)
{
    std::array<QString, kChannelCount> doubts;
    if (record < 1 || std::size_t(record) > report.recordLines.size())
        return doubts;
    if (report.recovered) {
        const auto& missing = report.missing[std::size_t(record - 1)];
        for (int c = 0; c < kChannelCount; ++c) {
            if (missing[std::size_t(c)] != LeftOut::No)
                doubts[std::size_t(c)] = leftOutNote(missing[std::size_t(c)]);
        }
        return doubts;
    }
    const std::size_t line = report.recordLines[std::size_t(record - 1)];
    if (!std::binary_search(report.doubtful.begin(), report.doubtful.end(), line))
        return doubts;
    for (const LineProblem& p : lineProblems(lines[line])) {
        for (int c = p.firstChannel; c >= 0 && c <= p.lastChannel; ++c)
            doubts[std::size_t(c)] = QStringLiteral("Doubtful: ") + toQString(p.reason);
    }
    return doubts;
}

} // namespace orvik
