// SPDX-License-Identifier: GPL-3.0-or-later
#include "mainwindow.h"

#include "archiveadder.h"
#include "channelchart.h"
#include "checklogwindow.h"
#include "datapanels.h"
#include "format/csvwriter.h"
#include "logmarks.h"
#include "logsummary.h"
#include "look.h"
#include "platform/filemessage.h"
#include "platform/numbertext.h"
#include "platform/services.h"
#include "settings/confreader.h"
#include "settings/filelocations.h"
#include "settings/screenshot.h"
#include "ui/trends/trendwindow.h"
#include "widgets/geometry.h"
#include "widgets/layout.h"
#include "widgets/messagebox.h"
#include "widgets/optionbutton.h"
#include "widgets/picturecanvas.h"
#include "widgets/scrollbar.h"
#include "widgets/statuslabel.h"
#include "widgets/textbox.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QGraphicsOpacityEffect>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>
#include <QWindow>

// Resources of a static library are registered by hand.
static void initUiResources() { Q_INIT_RESOURCE(ui); }

namespace orvik {

MainWindow::MainWindow(const QString& programFolder, QWidget* parent)
    : QMainWindow(parent)
    // Absolute, so that paths built on it do not change with the current folder.
    , m_programFolder(QDir::toNativeSeparators(
          QDir(programFolder.isEmpty() ? orvik::programFolder() : programFolder).absolutePath()))
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Orvik CW Telemetry Decoder [Brannt]"));
    initUiResources();
    setWindowIcon(QIcon(QStringLiteral(":/orvik/icon.png")));
    buildControls();
    // A log file dropped anywhere on the window opens.
    setAcceptDrops(true);
    buildMenu();
    setTabOrder();
    connectSignals();
    Form_Load();
}

MainWindow::~MainWindow() = default;

void MainWindow::connectSignals()
{
    connect(Text2, &TextBox::changed, this, &MainWindow::Text2_Change);
    connect(HScroll1, &ScrollBar::changed, this, &MainWindow::HScroll1_Change);
    connect(MSChart1, &ChannelChart::barClicked, this,
            [this](int record) { HScroll1->setValue(qint16(record)); });
    for (OptionButton* option : Option1)
        connect(option, &OptionButton::clickedIndex, this, &MainWindow::Option1_Click);
    connect(Command1, &QPushButton::clicked, this, &MainWindow::Command1_Click);
    connect(WriteCSVFile, &QAction::triggered, this, &MainWindow::WriteCSVFile_Click);
    connect(MnuExit, &QAction::triggered, this, &MainWindow::MnuExit_Click);
    connect(MnuOpenLog, &QAction::triggered, this, &MainWindow::MnuOpenLog_Click);
    connect(MnuSaveLog, &QAction::triggered, this, &MainWindow::MnuSaveLog_Click);
    connect(Text2, &TextBox::filesDropped, this, &MainWindow::openDropped);
    connect(m_recentMenu, &QMenu::triggered, this, &MainWindow::MnuRecentLogs_Click);
    connect(MnuInfo, &QAction::triggered, this, &MainWindow::MnuInfo_Click);
    connect(MnuCheckLog, &QAction::triggered, this, &MainWindow::MnuCheckLog_Click);
    connect(MnuAddToArchive, &QAction::triggered, this, &MainWindow::MnuAddToArchive_Click);
    connect(MnuUndoAdd, &QAction::triggered, this, &MainWindow::MnuUndoAdd_Click);
    connect(m_adder, &ArchiveAdder::progress, Label3,
            [this](const QString& text) { Label3->setMessage(text); });
    connect(m_adder, &ArchiveAdder::finished, this, &MainWindow::archiveAdded);
    connect(MnuAdds, &QAction::triggered, this, &MainWindow::MnuAdds_Click);
    connect(MnuTrends, &QAction::triggered, this, &MainWindow::MnuTrends_Click);
    connect(MnuRecover, &QAction::triggered, this, &MainWindow::MnuRecover_Click);
    connect(m_checkLog, &CheckLogWindow::lineActivated, this, &MainWindow::showLogLine);
    connect(m_menuKey, &QShortcut::activated, this,
            [this] { menuBar()->setActiveAction(menuBar()->actions().first()); });
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_client && event->type() == QEvent::Resize)
        Form_Resize();
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::Form_Load()
{
    const FileLocations where = fileLocations(m_programFolder);
    m_settingsFile = where.settingsFile;
    ImagePath = where.imageFolder + QDir::separator();
    m_imageFolder = where.imageFolder;
    ConfFile = where.confFile;
    m_exportFolder = where.exportFolder;

    // A missing or unreadable file leaves the defaults, without a word.
    const StartupSettings settings = readConfFile(ConfFile);
    if (settings.imagePath)
        ImagePath = resolveImagePath(where.imageFolder, *settings.imagePath);
    if (settings.screenshotButton)
        Command1->setVisible(*settings.screenshotButton);
    m_archivePath = windowArchivePath(where.archiveFolder, settings.archivePath);
    MnuRecover->setChecked(settings.recover.value_or(false));

    Picture2->setVisible(false);

    for (int i = 0; i < kChannelCount; ++i)
        Option1[std::size_t(i)]->setText(toQString(kChannels[std::size_t(i)].caption));
    restoreSettings();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (!mayDropLog(QStringLiteral("Exit"))) {
        event->ignore();
        return;
    }
    saveSettings();
    m_checkLog->close();
    if (m_trends)
        m_trends->close();
    QMainWindow::closeEvent(event);
}

void MainWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    fitToScreen();
}

// The window keeps the designed client area where the screen has room for it, and never
// grows past the screen's free area; no control follows its size.
void MainWindow::fitToScreen()
{
    QSize size = m_client->size() + QSize(0, menuBar()->sizeHint().height());
    if (const QScreen* s = screen()) {
        const QMargins frame = windowHandle() ? windowHandle()->frameMargins() : QMargins();
        const QSize room = s->availableGeometry().size().shrunkBy(frame);
        if (size.width() > room.width() || size.height() > room.height())
            size = size.boundedTo(room);
    }
    setFixedSize(size);
}

void MainWindow::Form_Resize() { Picture2->setGeometry(0, 0, m_client->width(), m_client->height()); }

void MainWindow::Text2_Change()
{
    m_log = Text2->lines();
    if (MnuRecover->isChecked())
        recoverLogLines(m_log.lines, m_records, m_report);
    else
        parseLogLines(m_log.lines, m_records, &m_report);

    HScroll1->setEnabled(true);
    Label2->setText(QStringLiteral("#%1 / %2").arg(HScroll1->value()).arg(m_records.count()));
    HScroll1->setMax(qint16(m_records.count()));
    Option1[std::size_t(kFirstChartedChannel)]->setValue(true);
    Show_Data(HScroll1->value());
    Draw_Chart(kFirstChartedChannel);

    if (m_report.recovered || m_marksRecovered)
        m_marks->showRecovered(m_report.recovered ? &m_report : nullptr);
    m_marksRecovered = m_report.recovered;
    Label3->setMessage(logSummary(m_report, m_records.count(), kListedInStatus),
                       logSummary(m_report, m_records.count(), kListedInTooltip));
    showDecodeState();
    if (m_checkLog->isVisible())
        m_checkLog->setLog(m_log, m_report);
}

void MainWindow::MnuRecover_Click()
{
    m_recoverSwitched = true;
    Text2_Change();
}

void MainWindow::HScroll1_Change()
{
    Label2->setText(QStringLiteral("%1/%2").arg(HScroll1->value()).arg(HScroll1->max()));
    Show_Data(HScroll1->value());
}

void MainWindow::Show_Data(int Rec)
{
    if (Rec < 0 || Rec > RecordTable::kMaxRecords)
        return;
    MSChart1->setCurrentRecord(Rec);
    m_panels->showRecord(m_records.row(Rec), recordDoubts(m_report, m_log.lines, Rec));
}

// While no record is decoded, the value boxes and the chart look greyed: what they show
// belongs to no line of the log.
void MainWindow::showDecodeState()
{
    const bool none = m_records.count() == 0;
    m_panels->setEmpty(none);
    if (none != (MSChart1->graphicsEffect() != nullptr)) {
        if (none) {
            auto* faded = new QGraphicsOpacityEffect(MSChart1);
            faded->setOpacity(0.35);
            MSChart1->setGraphicsEffect(faded);
        } else {
            MSChart1->setGraphicsEffect(nullptr);
        }
    }
}

void MainWindow::Option1_Click(int Index)
{
    // Buttons exclude each other only within their own panel.
    for (int i = 0; i < kChannelCount; ++i) {
        if (i == Index)
            continue;
        m_panels->setHighlight(i, false);
        Option1[std::size_t(i)]->setValue(false);
    }
    m_panels->setHighlight(Index, true);
    Draw_Chart(Index);
}

void MainWindow::Draw_Chart(int Index)
{
    if (m_records.count() < 1)
        return;
    Frame8->setTitle(Option1[std::size_t(Index)]->text() + QStringLiteral("  [ ") +
                     Label1[std::size_t(Index)]->text() + QStringLiteral(" ]"));
    QList<double> values;
    QList<bool> doubtful;
    QStringList why;
    values.reserve(m_records.count());
    doubtful.reserve(m_records.count());
    for (int r = 1; r <= m_records.count(); ++r) {
        values.append(m_records.value(r, Index));
        const LeftOut missing =
            m_report.recovered ? m_report.missing[std::size_t(r - 1)][std::size_t(Index)] : LeftOut::No;
        why.append(missing == LeftOut::No ? QString() : toQString(leftOutText(missing)));
        doubtful.append(missing == LeftOut::No &&
                        !recordDoubts(m_report, m_log.lines, r)[std::size_t(Index)].isEmpty());
    }
    const auto form = kChannels[std::size_t(Index)].whole ? ChannelChart::NumberForm::Whole
                                                          : ChannelChart::NumberForm::TwoDecimals;
    MSChart1->setChannel(Label1[std::size_t(Index)]->text(), form);
    MSChart1->setValues(values, doubtful, why);
}

void MainWindow::Command1_Click()
{
    Command1->setVisible(false);
    QCoreApplication::processEvents();

    Picture2->copyFrom(m_client, Picture2->size());
    if (m_captureName.isEmpty())
        m_captureName = captureName(QDate::currentDate());
    const QString path = bitmapPath(ImagePath, m_captureName);
    // The user's pictures folder may not exist yet, as the documents folder for the export; a
    // missing program folder, or a folder conf.ini names elsewhere, is reported.
    if (m_imageFolder != m_programFolder && ImagePath.startsWith(m_imageFolder))
        QDir().mkpath(QFileInfo(path).absolutePath());
    QString reason;
    QString error;
    bool saved = false;
    if (imagePathIsUsable(ImagePath, &reason))
        saved = Picture2->saveBitmap(path, &error);
    else
        error = fileError(path, FileStep::Written, reason);
    Command1->setVisible(true);
    if (!saved) {
        Label3->setMessage(error);
        return;
    }
    Label3->setMessage(path + QStringLiteral(" saved"));

    if (!startProgram(converterProgram(), converterArguments(path)))
        showMessageBox(this, QStringLiteral("nconvert.exe not found"), QStringLiteral("Error"),
                       QMessageBox::Information);
    Label3->setMessage(path + QStringLiteral(" saved"));
}

void MainWindow::WriteCSVFile_Click()
{
    // A user's documents folder may not exist yet; a missing program folder is reported.
    if (m_exportFolder != m_programFolder)
        QDir().mkpath(m_exportFolder);
    const QString path = joinPath(m_exportFolder, QStringLiteral("orvik_telemetry.csv"));
    QStringList captions;
    for (const OptionButton* option : Option1)
        captions.append(option->text());
    QString error;
    if (saveCsvFile(path, captions, m_records, localDecimalPoint().toStdString(), &error))
        Label3->setMessage(path + QStringLiteral(" has been written") +
                           exportNote(m_report, m_records.count()));
    else
        Label3->setMessage(error);
}

void MainWindow::MnuExit_Click() { close(); }

} // namespace orvik
