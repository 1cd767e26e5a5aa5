// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QWidget>

namespace orvik {

// A hidden picture box with a persistent backing bitmap in pixel units: what is copied
// into it stays in its own image and can be saved as a Windows bitmap from there.
class PictureCanvas : public QWidget {
    Q_OBJECT
public:
    explicit PictureCanvas(QWidget* parent);

    const QImage& image() const { return m_image; }

    // Copies the source widget's client area into the bitmap at 0, 0.
    void copyFrom(QWidget* source, const QSize& size);

    // Writes the bitmap as a BMP file, replacing the file only when the whole picture
    // was written. False on failure, with *error.
    bool saveBitmap(const QString& path, QString* error) const;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QImage m_image;
};

} // namespace orvik
