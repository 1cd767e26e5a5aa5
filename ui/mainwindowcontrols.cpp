// SPDX-License-Identifier: GPL-3.0-or-later
// The window's controls, where the layout puts them, and the order focus takes through them.
#include "channelchart.h"
#include "checklogwindow.h"
#include "datapanels.h"
#include "logmarks.h"
#include "look.h"
#include "mainwindow.h"
#include "widgets/geometry.h"
#include "widgets/layout.h"
#include "widgets/optionbutton.h"
#include "widgets/picturecanvas.h"
#include "widgets/scrollbar.h"
#include "widgets/statuslabel.h"
#include "widgets/textbox.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <algorithm>

namespace orvik {

void MainWindow::buildControls()
{
    buildClientArea();
    m_panels = std::make_unique<DataPanels>(m_client);
    Frame1 = m_panels->frame(layout::Panel::Status);
    Frame2 = m_panels->frame(layout::Panel::Power);
    Frame3 = m_panels->frame(layout::Panel::Temperatures);
    Frame4 = m_panels->frame(layout::Panel::Rssi);
    Frame6 = m_panels->frame(layout::Panel::Time);
    Option1 = m_panels->options();
    Text1 = m_panels->values();
    Label1 = m_panels->units();

    Picture2 = new PictureCanvas(m_client);
    Picture2->setObjectName(QStringLiteral("Picture2"));
    Picture2->setGeometry(pixels(layout::kPicture2));

    Command1 = new QPushButton(QStringLiteral("S"), m_client);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setGeometry(pixels(layout::kCommand1));
    Command1->setAccessibleName(QStringLiteral("Save screenshot"));

    buildLog();
    buildRecordBar();
    buildChart();

    Label3 = new StatusLabel(m_client);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->setGeometry(pixels(layout::kLabel3));
    setBackground(Label3, layoutBackground());

    Label2 = new QLabel(m_client);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setGeometry(pixels(layout::kLabel2));
    Label2->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setBackground(Label2, layoutBackground());
}

// The client area of the designed size, in a scroller for screens too small for it.
void MainWindow::buildClientArea()
{
    m_client = new QWidget(this);
    m_client->setObjectName(QStringLiteral("ClientArea"));
    setBackground(m_client, layoutBackground());
    m_client->setFont(layoutFont(layoutSansSerif(), kLayoutPointSize));
    m_client->setFixedSize(twipsToPixels(layout::kClientWidth), twipsToPixels(layout::kClientHeight));
    m_client->installEventFilter(this);
    // On a screen too small for the designed window the client area scrolls inside it.
    m_scroller = new QScrollArea(this);
    m_scroller->setObjectName(QStringLiteral("ClientScroller"));
    m_scroller->setFrameShape(QFrame::NoFrame);
    m_scroller->setWidget(m_client);
    setCentralWidget(m_scroller);
}

// The beacon log and the windows that read it.
void MainWindow::buildLog()
{
    Text2 = new TextBox(m_client);
    Text2->setObjectName(QStringLiteral("Text2"));
    Text2->setGeometry(pixels(layout::kText2));
    QFont logFont = layoutFont(QStringLiteral("Courier New"), kLayoutPointSize);
    // A monospaced log needs no shaping, and shaping a pasted megabyte takes seconds.
    logFont.setStyleStrategy(QFont::PreferNoShaping);
    Text2->setFont(logFont);
    Text2->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Text2->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Text2->setAccessibleName(QStringLiteral("Beacon log"));
    Text2->setTabChangesFocus(true);
    m_marks = new LogMarks(Text2);
    m_checkLog = new CheckLogWindow(this);
    // A tool of this window: it neither keeps the program running nor outlives Exit.
    m_checkLog->setAttribute(Qt::WA_QuitOnClose, false);
}

void MainWindow::buildRecordBar()
{
    auto* bar = new FocusMarkedScrollBar(m_client);
    bar->setObjectName(QStringLiteral("HScroll1"));
    bar->setGeometry(pixels(layout::kHScroll1));
    bar->setSingleStep(1);
    bar->setPageStep(1);
    bar->setFocusPolicy(Qt::StrongFocus);
    bar->setAccessibleName(QStringLiteral("Record"));
    // Position 1 in a range of 1 to 1 until the first decode: no reachable row lies
    // outside the record table.
    HScroll1 = new ScrollBar(bar, 1, 1, 1);
}

void MainWindow::buildChart()
{
    Frame8 = new QGroupBox(m_client);
    Frame8->setObjectName(QStringLiteral("Frame8"));
    Frame8->setGeometry(pixels(layout::kFrame8));
    Frame8->setFont(layoutFont(layoutSansSerif(), kLayoutPointSize, true));
    setBackground(Frame8, layoutBackground());
    setTextColour(Frame8, Qt::black);

    MSChart1 = new ChannelChart(Frame8);
    MSChart1->setObjectName(QStringLiteral("MSChart1"));
    MSChart1->setGeometry(pixels(layout::kMSChart1));
    MSChart1->setFont(layoutFont(layoutSansSerif(), kLayoutPointSize));
    MSChart1->setAccessibleName(QStringLiteral("Channel chart"));
    // A file dropped on the chart goes to the window, which opens it.
    MSChart1->setAcceptDrops(false);
}

void MainWindow::setTabOrder()
{
    // Focus order of the layout: the time value first, then the chart, the bottom row and the
    // log, then the panels row by row.
    QList<QWidget*> order{Text1[0], Option1[0], MSChart1, HScroll1->widget(), Text2, Command1};
    for (QGroupBox* panel : {Frame1, Frame2, Frame3, Frame4}) {
        QList<int> channels;
        for (int i = 1; i < kChannelCount; ++i) {
            if (Option1[std::size_t(i)]->parentWidget() == panel)
                channels.append(i);
        }
        std::sort(channels.begin(), channels.end(), [](int a, int b) {
            return layout::kChannelRows[std::size_t(a)].top < layout::kChannelRows[std::size_t(b)].top;
        });
        for (int i : channels)
            order << Option1[std::size_t(i)] << Text1[std::size_t(i)];
    }
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
    Text1[0]->setFocus();
}

} // namespace orvik
