// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "archive/archivequery.h"
#include "ui/trends/trendchart.h"
#include "ui/trends/trendexport.h"

#include <QSize>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

class QCheckBox;
class QLabel;
class QPushButton;
class QScrollArea;

namespace orvik {

class ArchiveFollower;
class ChannelList;

// "Trends": chosen channels of the archive as lines over time, received (UTC) or on board.
// Quick ranges, zoom by rectangle, wheel and keys, Backspace or a right click back to the
// view before; Escape closes. Each span is read again at the plot's own resolution.
class TrendWindow : public QWidget {
    Q_OBJECT
public:
    enum class Range { LastPass, LastDay, LastWeek, Everything };
    // A gap of an hour or more between records ends a pass.
    static constexpr qint64 kPassGapMs = 3600 * 1000;
    // Records received without such a gap for longer, as from a network of stations, show
    // their last day.
    static constexpr qint64 kLongestPassMs = 24 * kPassGapMs;
    // Views remembered for going back.
    static constexpr std::size_t kMaxBack = 100;

    // Asks for a file to write: the dialog's caption, a suggested path and the name filters;
    // empty when cancelled. Tests replace the file dialog with setFileNameProvider().
    using FileNameProvider = orvik::FileNameProvider;

    explicit TrendWindow(QWidget* parent = nullptr);
    ~TrendWindow() override;

    // Opens the archive (read only) and shows everything in it; a second call reads it again.
    // While shown, it follows the file: a change that this program or another commits is on
    // show within a second, in the quick range chosen, or in the span zoomed to.
    void openArchive(const QString& path);
    void setFileNameProvider(FileNameProvider provider);

    // The records of the span on show, as CSV. False on failure, with *error; the status line
    // says either.
    bool exportCsv(const QString& path, QString* error = nullptr);
    // The chart as PNG, or SVG for a name ending in ".svg"; as exportCsv.
    bool saveImage(const QString& path, QString* error = nullptr);

    std::vector<int> chosenChannels() const;
    void setChosenChannels(const std::vector<int>& channels);

    // What the window keeps from one run to the next: its size, its channels and its clock.
    struct Settings {
        QSize size;
        std::vector<int> channels;
        bool onBoard = false;
    };
    Settings settings() const;
    // A size too large for the screen is made to fit it; no channels keep those chosen.
    void applySettings(const Settings& s);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    struct View {
        double lo = 0;
        double hi = 1;
        ValueRanges fixed;
    };

    void buildControls();
    void layOut(QWidget* channelsLabel);
    void connectSignals();
    // A view the user asked for can be gone back from; one that follows the archive cannot.
    enum class Step { Asked, Followed };
    void showRange(Range range, Step step = Step::Asked);
    void archiveChanged();
    void showView(const View& view, Step step);
    void goBack();
    void draw();
    void setOnBoard(bool on);
    void plotAreaChanged();
    void setProblem(const QString& problem);
    void askCsv();
    void askImage();
    // Tells in the status line how a save went; returns `saved`.
    bool report(const QString& path, bool saved, const QString& failure, QString* error);
    bool rangeOf(Range range, View* view, QString* error) const;

    std::unique_ptr<Archive> m_archive;
    QString m_path;
    ArchiveFollower* m_follow = nullptr;
    bool m_following = true; // a quick range on show, which new records extend
    QString m_problem;       // why nothing can be shown: the archive cannot be read or is empty
    TrendTime m_time = TrendTime::Received;
    Range m_range = Range::Everything;
    View m_view;
    std::vector<View> m_history;
    int m_columnsDrawn = 0;
    bool m_redrawPending = false;
    bool m_drawOnShow = false; // the plot's width is known once shown
    FileNameProvider m_fileNames;

    ChannelList* m_channels = nullptr;
    QPushButton* m_lastPass = nullptr;
    QPushButton* m_lastDay = nullptr;
    QPushButton* m_lastWeek = nullptr;
    QPushButton* m_everything = nullptr;
    QCheckBox* m_onBoard = nullptr;
    QPushButton* m_backButton = nullptr;
    QPushButton* m_exportCsv = nullptr;
    QPushButton* m_saveImage = nullptr;
    TrendChart* m_chart = nullptr;
    QLabel* m_readOut = nullptr;
    QLabel* m_status = nullptr;
    QScrollArea* m_scroller = nullptr; // holds every control
};

} // namespace orvik
