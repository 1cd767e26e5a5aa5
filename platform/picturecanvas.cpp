// SPDX-License-Identifier: GPL-3.0-or-later
#include "picturecanvas.h"

#include <QPainter>
#include <QSaveFile>

namespace orvik {

PictureCanvas::PictureCanvas(QWidget* parent)
    : QWidget(parent)
{
}

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
    if (m_image.size() != size) {
        m_image = QImage(size.expandedTo(QSize(1, 1)), QImage::Format_RGB888);
        m_image.fill(Qt::white);
    }
    QPainter p(&m_image);
    // Only what is on screen: hidden children such as this canvas draw nothing.
    source->render(&p, QPoint(0, 0), QRegion(QRect(QPoint(0, 0), size)),
                   QWidget::DrawWindowBackground | QWidget::DrawChildren);
}

QString PictureCanvas::saveBitmap(const QString& path) const
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    if (!m_image.save(&file, "BMP")) {
        file.cancelWriting();
        return file.error() != QFileDevice::NoError ? file.errorString() : QStringLiteral("the picture could not be encoded");
    }
    if (!file.commit())
        return file.errorString();
    return {};
}

} // namespace orvik
