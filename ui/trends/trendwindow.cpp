// SPDX-License-Identifier: GPL-3.0-or-later
#include "trendwindow.h"

#include "archivefollower.h"
#include "channellist.h"
#include "platform/numbertext.h"
#include "platform/services.h"
#include "trendexport.h"

#include <QChart>
#include <QCheckBox>
#include <QDir>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>
#include <QTimer>
#include <algorithm>
#include <cmath>

namespace orvik {

namespace {

constexpr qint64 kDayMs = 24 * 3600 * 1000;
// A span of a single instant is widened to a minute each side.
constexpr double kLoneRecordMargin = 60 * 1000;

} // namespace

TrendWindow::TrendWindow(QWidget* parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("TrendWindow"));
    setWindowTitle(QStringLiteral("Trends"));
    buildControls();
    const QScreen* shown = QGuiApplication::primaryScreen();
    resize(shown ? QSize(1100, 640).boundedTo(shown->availableSize()) : QSize(1100, 640));
    connectSignals();
    setChosenChannels({kFirstChartedChannel});
}

TrendWindow::~TrendWindow() = default;

void TrendWindow::connectSignals()
{
    connect(m_lastPass, &QPushButton::clicked, this, [this] { showRange(Range::LastPass); });
    connect(m_lastDay, &QPushButton::clicked, this, [this] { showRange(Range::LastDay); });
    connect(m_lastWeek, &QPushButton::clicked, this, [this] { showRange(Range::LastWeek); });
    connect(m_everything, &QPushButton::clicked, this, [this] { showRange(Range::Everything); });
    connect(m_onBoard, &QCheckBox::toggled, this, &TrendWindow::setOnBoard);
    connect(m_backButton, &QPushButton::clicked, this, &TrendWindow::goBack);
    connect(m_exportCsv, &QPushButton::clicked, this, &TrendWindow::askCsv);
    connect(m_saveImage, &QPushButton::clicked, this, &TrendWindow::askImage);
    connect(m_channels, &QTreeWidget::itemChanged, this, [this] { draw(); });
    connect(m_chart, &TrendChart::zoomRequested, this,
            [this](double lo, double hi, const ValueRanges& fixed) {
                m_following = false;
                showView({lo, hi, fixed}, Step::Asked);
            });
    connect(m_chart, &TrendChart::backRequested, this, &TrendWindow::goBack);
    connect(m_chart, &TrendChart::readOutChanged, this, [this](const QString& text) {
        m_readOut->setText(text);
        m_chart->setAccessibleDescription(text);
    });
    connect(m_chart->chart(), &QChart::plotAreaChanged, this, &TrendWindow::plotAreaChanged);
    connect(m_follow, &ArchiveFollower::changed, this, &TrendWindow::archiveChanged);
}

void TrendWindow::setFileNameProvider(FileNameProvider provider) { m_fileNames = std::move(provider); }

std::vector<int> TrendWindow::chosenChannels() const { return m_channels->checkedChannels(); }

void TrendWindow::setChosenChannels(const std::vector<int>& channels)
{
    {
        const QSignalBlocker quiet(m_channels);
        m_channels->setCheckedChannels(channels);
    }
    draw();
}

TrendWindow::Settings TrendWindow::settings() const
{
    return {size(), chosenChannels(), m_onBoard->isChecked()};
}

void TrendWindow::applySettings(const Settings& s)
{
    if (s.size.isValid()) {
        const QScreen* shown = screen() ? screen() : QGuiApplication::primaryScreen();
        const QSize room = shown ? shown->availableSize() : s.size;
        resize(s.size.expandedTo(minimumSizeHint()).boundedTo(room));
    }
    if (!s.channels.empty())
        setChosenChannels(s.channels);
    m_onBoard->setChecked(s.onBoard);
}

void TrendWindow::openArchive(const QString& path)
{
    setWindowTitle(QStringLiteral("Trends \u2013 ") + QDir::toNativeSeparators(path));
    m_path = path;
    m_archive = std::make_unique<Archive>();
    QString error;
    if (!m_archive->open(path, Archive::Access::ReadOnly, &error)) {
        m_archive.reset();
        m_follow->follow(path, nullptr);
        setProblem(error.isEmpty() ? path + QStringLiteral(" cannot be opened") : error);
        return;
    }
    m_follow->follow(path, m_archive.get());
    double first = 0;
    double last = 0;
    if (!trendExtent(*m_archive, TrendTime::Received, &first, &last, &error)) {
        setProblem(!error.isEmpty()
                       ? error
                       : QDir::toNativeSeparators(path) +
                             QStringLiteral(" holds no records yet: TLM File \u2192 Add to Archive "
                                            "adds the decoded ones."));
        return;
    }
    setProblem(QString());
    showRange(Range::Everything);
    m_history.clear();
    m_backButton->setEnabled(false);
}

// A file that was missing, refused or empty is opened again once it changed; one on show is
// read again, in the quick range chosen or in the span zoomed to.
void TrendWindow::archiveChanged()
{
    if (!m_archive || !m_problem.isEmpty())
        openArchive(m_path);
    else if (m_following)
        showRange(m_range, Step::Followed);
    else
        draw();
}

void TrendWindow::setProblem(const QString& problem)
{
    m_problem = problem;
    for (QWidget* w : std::initializer_list<QWidget*>{m_lastPass, m_lastDay, m_lastWeek, m_everything,
                                                      m_onBoard, m_backButton, m_exportCsv})
        w->setEnabled(problem.isEmpty());
    if (!problem.isEmpty()) {
        m_status->setText(problem);
        m_chart->setLines({}, m_time, m_view.lo, m_view.hi, {}, problem);
    }
}

bool TrendWindow::rangeOf(Range range, View* view, QString* error) const
{
    qint64 first = 0;
    qint64 last = 0;
    bool found = false;
    if (range == Range::Everything)
        return trendExtent(*m_archive, m_time, &view->lo, &view->hi, error);
    if (range == Range::LastPass) {
        found = newestRun(*m_archive, kPassGapMs, kLongestPassMs, &first, &last, error);
    } else {
        // The received-time index answers at once, where min() and max() together read every row.
        double oldest = 0;
        double newest = 0;
        found = trendExtent(*m_archive, TrendTime::Received, &oldest, &newest, error);
        last = qint64(newest);
        first = last - (range == Range::LastDay ? kDayMs : 7 * kDayMs);
    }
    if (!found)
        return false;
    if (m_time == TrendTime::Received) {
        view->lo = double(first);
        view->hi = double(last);
        return true;
    }
    return trendExtentOfReceived(*m_archive, m_time, first, last, &view->lo, &view->hi, error);
}

void TrendWindow::showRange(Range range, Step step)
{
    if (!m_archive)
        return;
    m_range = range;
    m_following = true;
    View view;
    QString error;
    if (!rangeOf(range, &view, &error)) {
        m_status->setText(error.isEmpty() ? QStringLiteral("No records with an on-board time in this range.")
                                          : error);
        return;
    }
    if (view.hi <= view.lo) {
        view.lo -= kLoneRecordMargin;
        view.hi += kLoneRecordMargin;
    }
    showView(view, step);
}

void TrendWindow::showView(const View& view, Step step)
{
    if (step == Step::Asked) {
        m_history.push_back(m_view);
        if (m_history.size() > kMaxBack)
            m_history.erase(m_history.begin());
    }
    m_view = view;
    draw();
}

void TrendWindow::goBack()
{
    if (m_history.empty())
        return;
    m_view = m_history.back();
    m_history.pop_back();
    m_following = false;
    draw();
}

void TrendWindow::setOnBoard(bool on)
{
    m_time = on ? TrendTime::OnBoard : TrendTime::Received;
    // Spans of the two clocks do not translate: the quick range is taken again.
    showRange(m_range);
    m_history.clear();
    m_backButton->setEnabled(false);
}

void TrendWindow::draw()
{
    m_redrawPending = false;
    m_backButton->setEnabled(m_problem.isEmpty() && !m_history.empty());
    if (!m_archive || !m_problem.isEmpty())
        return;
    if (!isVisible()) {
        m_drawOnShow = true;
        return;
    }
    m_drawOnShow = false;
    const std::vector<int> channels = chosenChannels();
    const int columns = m_chart->plotColumns();
    TrendData data;
    QString error;
    if (!readTrend(*m_archive, channels, m_time, m_view.lo, m_view.hi, columns, &data, &error)) {
        m_status->setText(error);
        return;
    }
    m_columnsDrawn = columns;
    std::vector<TrendChart::Line> lines;
    for (const TrendLine& line : data.lines)
        lines.push_back({channelCaption(line.channel), channelUnit(line.channel),
                         kChannels[std::size_t(line.channel)].whole, line.points});
    const QString empty = channels.empty() ? QStringLiteral("Choose one or more channels from the list.")
                                           : QStringLiteral("No records in this span.");
    m_chart->setLines(lines, m_time, m_view.lo, m_view.hi, m_view.fixed, empty);
    QString status = QStringLiteral("%1 %2 from %3 to %4")
                         .arg(data.records)
                         .arg(QLatin1String(data.records == 1 ? "record" : "records"),
                              timeText(m_time, m_view.lo), timeText(m_time, m_view.hi));
    if (data.reduced)
        status += QStringLiteral("; drawn as the lowest and highest value of each pixel column");
    m_status->setText(status);
    m_exportCsv->setEnabled(!channels.empty());
}

// Columns follow the plot: never more points than it has room for, and detail when it grows.
void TrendWindow::plotAreaChanged()
{
    const int columns = m_chart->plotColumns();
    if (m_redrawPending || m_columnsDrawn == 0 ||
        (columns <= m_columnsDrawn && columns * 5 >= m_columnsDrawn * 4))
        return;
    m_redrawPending = true;
    QTimer::singleShot(0, this, [this] {
        if (m_redrawPending)
            draw();
    });
}

void TrendWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (m_drawOnShow)
        draw();
}

void TrendWindow::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    if (event->key() == Qt::Key_Backspace && event->modifiers() == Qt::NoModifier) {
        goBack();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace orvik
