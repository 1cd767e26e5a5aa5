// SPDX-License-Identifier: GPL-3.0-or-later
#include "picturecanvas.h"

#include "platform/services.h"

#include <QPainter>

namespace orvik {

PictureCanvas::PictureCanvas(QWidget* parent)
    : QWidget(parent)
{}

void PictureCanvas::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    QImage resized(size().expandedTo(QSize(1, 1)), QImage::Format_RGB888);
    resized.fill(Qt::white);
    QPainter p(&resized);
    p.drawImage(0, 0, m_image);
    m_image = resized;
}

void PictureCanvas::copyFrom(QWidget* source, const QSize& size)
{
    // Painted into an unshared image of its own: render() may deliver this hidden canvas its
    // pending resize event, and the m_image that resizeEvent replaces must not be the one painted.
    QImage picture;
    if (m_image.size() == size) {
        picture = m_image.copy();
    } else {
        picture = QImage(size.expandedTo(QSize(1, 1)), QImage::Format_RGB888);
        picture.fill(Qt::white);
    }
    {
        QPainter p(&picture);
        // Only what is on screen: hidden children such as this canvas draw nothing.
        source->render(&p, QPoint(0, 0), QRegion(QRect(QPoint(0, 0), size)),
                       QWidget::DrawWindowBackground | QWidget::DrawChildren);
    }
    m_image = picture;
}

bool PictureCanvas::saveBitmap(const QString& path, QString* error) const
{
    return saveFileAtomically(
        path, [this](QIODevice& out) { return m_image.save(&out, "BMP"); },
        QStringLiteral("the picture could not be encoded"), error);
}

} // namespace orvik
