// SPDX-License-Identifier: GPL-3.0-or-later
// The Trends window's controls and how they are laid out.
#include "archivefollower.h"
#include "channellist.h"
#include "trendchart.h"
#include "trendwindow.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

namespace orvik {

namespace {

QPushButton* button(const QString& text, const char* name, const QString& accessible, QWidget* parent)
{
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    b->setAccessibleName(accessible);
    b->setAutoDefault(false);
    return b;
}

} // namespace

// The views on one row and what is done with one on the next, so that the window stays narrow;
// on a screen too small even for that, its content scrolls and every control can be reached.
void TrendWindow::layOut(QWidget* channelsLabel)
{
    auto* content = new QWidget;
    auto* left = new QVBoxLayout;
    left->addWidget(channelsLabel);
    left->addWidget(m_channels);
    auto* views = new QHBoxLayout;
    for (QWidget* w :
         std::initializer_list<QWidget*>{m_lastPass, m_lastDay, m_lastWeek, m_everything, m_onBoard})
        views->addWidget(w);
    views->addStretch();
    auto* actions = new QHBoxLayout;
    for (QWidget* w : std::initializer_list<QWidget*>{m_backButton, m_exportCsv, m_saveImage})
        actions->addWidget(w);
    actions->addStretch();
    auto* right = new QVBoxLayout;
    right->addLayout(views);
    right->addLayout(actions);
    right->addWidget(m_chart, 1);
    right->addWidget(m_readOut);
    right->addWidget(m_status);
    auto* top = new QHBoxLayout(content);
    top->addLayout(left);
    top->addLayout(right, 1);

    m_scroller = new QScrollArea(this);
    m_scroller->setObjectName(QStringLiteral("TrendScroller"));
    m_scroller->setFrameShape(QFrame::NoFrame);
    m_scroller->setFocusPolicy(Qt::NoFocus); // its controls take the focus, not the frame
    m_scroller->setWidgetResizable(true);
    m_scroller->setWidget(content);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(m_scroller);
}

void TrendWindow::buildControls()
{
    m_channels = new ChannelList(this);
    m_channels->setObjectName(QStringLiteral("TrendChannels"));
    m_channels->setMinimumWidth(200);
    m_channels->setMaximumWidth(260);
    auto* channelsLabel = new QLabel(QStringLiteral("C&hannels:"), this);
    channelsLabel->setBuddy(m_channels);

    m_lastPass = button(QStringLiteral("Last &pass"), "TrendLastPass", QStringLiteral("Last pass"), this);
    m_lastPass->setToolTip(QStringLiteral("The newest records up to a gap of an hour"));
    m_lastDay = button(QStringLiteral("Last &day"), "TrendLastDay", QStringLiteral("Last day"), this);
    m_lastWeek = button(QStringLiteral("Last &week"), "TrendLastWeek", QStringLiteral("Last week"), this);
    m_everything =
        button(QStringLiteral("&Everything"), "TrendEverything", QStringLiteral("Everything"), this);
    m_onBoard = new QCheckBox(QStringLiteral("&On-board time"), this);
    m_onBoard->setObjectName(QStringLiteral("TrendOnBoard"));
    m_onBoard->setAccessibleName(QStringLiteral("On-board time"));
    m_backButton =
        button(QStringLiteral("&Back"), "TrendBack", QStringLiteral("Back to the view before"), this);
    m_backButton->setToolTip(QStringLiteral("Backspace or a right click in the chart"));
    m_exportCsv =
        button(QStringLiteral("Export &CSV\u2026"), "TrendExportCsv", QStringLiteral("Export CSV"), this);
    m_saveImage =
        button(QStringLiteral("Save &image\u2026"), "TrendSaveImage", QStringLiteral("Save image"), this);

    m_chart = new TrendChart(this);
    m_chart->setObjectName(QStringLiteral("TrendChart"));
    m_chart->setAccessibleName(QStringLiteral("Trend chart"));
    m_chart->setToolTip(QStringLiteral("Drag a rectangle or turn the wheel to zoom; Backspace goes back.\n"
                                       "Keys: Left and Right move the read-out, Shift+Left and Shift+Right "
                                       "pan, + and - zoom."));
    m_readOut = new QLabel(this);
    m_readOut->setObjectName(QStringLiteral("TrendReadOut"));
    m_readOut->setAccessibleName(QStringLiteral("Read-out"));
    m_readOut->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_follow = new ArchiveFollower(this);
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("TrendStatus"));
    m_status->setAccessibleName(QStringLiteral("Status"));
    m_status->setWordWrap(true);

    layOut(channelsLabel);

    QWidget* order[] = {m_channels, m_lastPass,   m_lastDay,   m_lastWeek,  m_everything,
                        m_onBoard,  m_backButton, m_exportCsv, m_saveImage, m_chart};
    for (std::size_t i = 1; i < std::size(order); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

} // namespace orvik
