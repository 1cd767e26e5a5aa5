// SPDX-License-Identifier: GPL-3.0-or-later
#include "aboutbox.h"

#include "platform/version.h"
#include "widgets/geometry.h"
#include "widgets/layout.h"

#include <QDate>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QPainterPath>

namespace orvik {

namespace {

const QString kSansSerif = QStringLiteral("MS Sans Serif");
// "Ver. 2.0" and "05 February 2014": the box has always named the version by its first two
// numbers, and the day in English.
QString versionText() { return QStringLiteral("Ver. %1.%2").arg(kVersionMajor).arg(kVersionMinor); }

QString releaseDateText()
{
    return QLocale::c().toString(QDate::fromString(QLatin1String(kReleaseDate), Qt::ISODate),
                                 u"dd MMMM yyyy");
}

QRect pixels(const layout::Box& b) { return twipsRect(b.left, b.top, b.width, b.height); }

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, const layout::Box& box,
                  const QFont& font, const QColor& colour = Qt::black)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setGeometry(pixels(box));
    label->setFont(font);
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, colour);
    p.setColor(QPalette::Window, Qt::white);
    label->setPalette(p);
    label->setAutoFillBackground(true);
    label->setTextInteractionFlags(Qt::NoTextInteraction);
    return label;
}

} // namespace

void AboutBox::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

AboutBox::AboutBox(QWidget* parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral(" Info"));
    setFixedSize(twipsToPixels(layout::kAboutWidth), twipsToPixels(layout::kAboutHeight));
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::white);
    setPalette(p);
    setAutoFillBackground(true);

    const QFont regular = layoutFont(kSansSerif, 8.25);
    auto* image = new QLabel(this);
    image->setObjectName(QStringLiteral("Image1"));
    image->setGeometry(pixels(layout::kAboutImage1));
    image->setPixmap(drawPicture());

    makeLabel(this, "Label1", QStringLiteral("Orvik CW Telemetry Decoder"), layout::kAboutLabel1,
              layoutFont(kSansSerif, 12, true));
    makeLabel(this, "Label3", QStringLiteral("Developed 2013\u20132014 by Brannt"), layout::kAboutLabel3,
              regular);
    makeLabel(this, "Label8", QStringLiteral("Brannt"), layout::kAboutLabel8,
              layoutFont(kSansSerif, 8.25, true));

    auto* frame = new QFrame(this);
    frame->setObjectName(QStringLiteral("Frame1"));
    frame->setFrameShape(QFrame::Box);
    frame->setFrameShadow(QFrame::Sunken);
    frame->setGeometry(pixels(layout::kAboutFrame1));
    Label2 = makeLabel(frame, "Label2", QString(), layout::kAboutLabel2, regular);
    Label2->setAlignment(Qt::AlignCenter);

    makeLabel(this, "Label6", QStringLiteral("Homepage:"), layout::kAboutLabel6, regular);
    makeLabel(this, "Label7", QStringLiteral("e-mail:"), layout::kAboutLabel7, regular);
    QFont link = regular;
    link.setUnderline(true);
    makeLabel(this, "Label4", QStringLiteral("orvik.example.org"), layout::kAboutLabel4, link,
              QColor(0, 0, 255));
    makeLabel(this, "Label5", QStringLiteral("brannt@example.org"), layout::kAboutLabel5, link,
              QColor(0, 0, 255));

    Form_Load();
}

void AboutBox::Form_Load()
{
    Label2->setText(QStringLiteral("Version ") + versionText() + QStringLiteral("    (") + releaseDateText() +
                    QStringLiteral(")"));
}

QPixmap AboutBox::drawPicture()
{
    // Night sky, the earth's limb and a small satellite sending dits and dahs.
    QPixmap pixmap(300, 100);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, 100);
    sky.setColorAt(0, QColor(8, 16, 48));
    sky.setColorAt(1, QColor(24, 48, 112));
    p.fillRect(pixmap.rect(), sky);

    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 180));
    const QPoint stars[] = {
        {20,  12},
        {64,  30},
        {110, 8 },
        {150, 22},
        {200, 10},
        {260, 28},
        {285, 8 },
        {40,  50}
    };
    for (const QPoint& s : stars)
        p.drawEllipse(s, 1, 1);

    QRadialGradient earth(150, 260, 210);
    earth.setColorAt(0.80, QColor(30, 110, 60));
    earth.setColorAt(0.93, QColor(40, 120, 200));
    earth.setColorAt(1.0, QColor(120, 180, 255, 0));
    p.setBrush(earth);
    p.drawEllipse(QPointF(150, 260), 210, 210);

    // Satellite body and panels.
    p.setBrush(QColor(200, 200, 210));
    p.drawRect(QRectF(62, 30, 16, 16));
    p.setBrush(QColor(40, 60, 160));
    p.drawRect(QRectF(36, 34, 22, 8));
    p.drawRect(QRectF(82, 34, 22, 8));
    p.setPen(QPen(QColor(220, 220, 220), 1.5));
    p.drawLine(QPointF(70, 46), QPointF(70, 58));

    // "-.-. .--" for CW, radiating towards the right.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 210, 80));
    qreal x = 120;
    for (const char c : QByteArrayLiteral("-.-. .--")) {
        if (c == '-') {
            p.drawRoundedRect(QRectF(x, 36, 14, 5), 2, 2);
            x += 19;
        } else if (c == '.') {
            p.drawEllipse(QRectF(x, 36, 5, 5));
            x += 10;
        } else {
            x += 12;
        }
    }
    p.setPen(QColor(255, 255, 255));
    QFont f = layoutFont(kSansSerif, 12, true);
    p.setFont(f);
    p.drawText(QRectF(120, 56, 170, 24), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("ORVIK"));
    return pixmap;
}

} // namespace orvik
