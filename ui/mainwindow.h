// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "archiveactions.h"
#include "decoder/recordtable.h"
#include "widgets/textbox.h"

#include <QMainWindow>
#include <QPointer>
#include <array>
#include <memory>
#include <vector>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollArea;
class QScrollBar;
class QMenu;
class QShortcut;
class QGraphicsOpacityEffect;

namespace orvik {

class ArchiveAdder;

class AboutBox;
class ChannelChart;
class CheckLogWindow;
class TrendWindow;
class DataPanels;
class LogMarks;
class OptionButton;
class PictureCanvas;
class ScrollBar;
class StatusLabel;

// Form1: the log box, the four channel panels and the time strip, the chart frame, the
// bottom row and the menu bar. Every edit of the log decodes it again into the record
// table that this window owns.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    // programFolder holds conf.ini and receives the export; empty means the executable's.
    explicit MainWindow(const QString& programFolder = QString(), QWidget* parent = nullptr);
    ~MainWindow() override;

    const RecordTable& records() const { return m_records; }
    QString imagePath() const { return ImagePath; }
    // Replaces the log with the text of a file, as File > Open Log does; false, and the log
    // kept, when it cannot be read.
    bool openLog(const QString& path);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void buildClientArea();
    void buildLog();
    void buildRecordBar();
    void buildChart();
    void buildMenu();
    void setTabOrder();
    void fitToScreen();
    void connectSignals();
    void showDecodeState();

    void Form_Load();
    void Form_Resize();
    void Text2_Change();
    void HScroll1_Change();
    void Option1_Click(int Index);
    void Command1_Click();
    void WriteCSVFile_Click();
    void MnuExit_Click();
    void MnuInfo_Click();
    void MnuCheckLog_Click();
    void MnuAddToArchive_Click();
    void MnuUndoAdd_Click();
    void MnuAdds_Click();
    void archiveAdded(const QString& text, qint64 number, bool kept);
    void MnuOpenLog_Click();
    bool MnuSaveLog_Click();
    bool mayDropLog(const QString& action);
    void rememberLog(const QString& path);
    void MnuRecentLogs_Click(QAction* entry);
    void fillRecentLogs();
    void restoreSettings();
    void saveSettings() const;
    void restoreTrendSettings();
    void openDropped(const QStringList& paths);
    void MnuTrends_Click();
    void MnuRecover_Click();
    void showLogLine(int line);
    void Show_Data(int Rec);
    void Draw_Chart(int Index);

    // How many line and record numbers the status line lists itself, and its tooltip.
    static constexpr int kListedInStatus = 6;
    static constexpr int kListedInTooltip = 100;

    QString m_programFolder;
    RecordTable m_records;
    TextBox::Lines m_log; // the lines of the last decode
    LogReport m_report;   // and what it did with them
    QString ImagePath;
    QString ConfFile;
    QString m_exportFolder; // the program folder, or the user's documents when it is not writable
    QString m_imageFolder;  // the program folder, or the user's pictures when it is not writable
    QString m_captureName;  // fixed by the first capture of the run
    QPointer<AboutBox> m_aboutBox;

    QWidget* m_client = nullptr;
    std::unique_ptr<DataPanels> m_panels;
    QScrollArea* m_scroller = nullptr;
    TextBox* Text2 = nullptr;                           // the beacon log box: every change decodes it again
    std::array<OptionButton*, kChannelCount> Option1{}; // per channel: charts it when chosen
    std::array<QLineEdit*, kChannelCount> Text1{};      // per channel: the value on show
    std::array<QLabel*, kChannelCount> Label1{};        // per channel: its unit
    QGroupBox* Frame1 = nullptr;                        // the "Status" panel
    QGroupBox* Frame2 = nullptr;                        // the "Power" panel
    QGroupBox* Frame3 = nullptr;                        // the "Temperatures" panel
    QGroupBox* Frame4 = nullptr;                        // the "RSSI" panel
    QGroupBox* Frame6 = nullptr;                        // the on-board time
    QGroupBox* Frame8 = nullptr;                        // holds the chart
    ChannelChart* MSChart1 = nullptr;  // the bar chart of the chosen channel over the records
    PictureCanvas* Picture2 = nullptr; // the screenshot's canvas, hidden
    QPushButton* Command1 = nullptr;   // takes the screenshot
    ScrollBar* HScroll1 = nullptr;     // the record on show
    QLabel* Label2 = nullptr;          // "#position / count" of the record on show
    StatusLabel* Label3 = nullptr;     // the status line
    QAction* MnuExit = nullptr;
    QAction* MnuOpenLog = nullptr;
    QAction* MnuSaveLog = nullptr;
    QString m_logFolder;      // where the last log was opened or saved
    QStringList m_recentLogs; // the last opened or saved first
    QMenu* m_recentMenu = nullptr;
    QString m_settingsFile;
    int m_addedRevision = -1; // of the log, when Add to Archive began
    QAction* WriteCSVFile = nullptr;
    QAction* MnuInfo = nullptr;
    QAction* MnuCheckLog = nullptr;
    CheckLogWindow* m_checkLog = nullptr; // hidden until asked for
    QAction* MnuAddToArchive = nullptr;
    QAction* MnuUndoAdd = nullptr;
    QAction* MnuAdds = nullptr;
    ArchiveAdder* m_adder = nullptr; // adds away from this thread
    std::vector<qint64> m_adds;      // numbers of this window's adds, the last one last
    QString m_archivePath;           // ARCHIVE= of conf.ini, or the default
    QAction* MnuTrends = nullptr;
    QAction* MnuRecover = nullptr;   // every edit decodes through the recovery of damaged copies
    bool m_marksRecovered = false;   // the log's marks are those of a recovering decode
    bool m_recoverSwitched = false;  // by the user, this run: kept in the settings from then on
    TrendWindow* m_trends = nullptr; // made when first asked for
    LogMarks* m_marks = nullptr;
    QShortcut* m_menuKey = nullptr; // F10 opens the menu bar
};

} // namespace orvik
