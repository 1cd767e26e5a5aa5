// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

class QLabel;

namespace orvik {

// Form2: product name, call sign, notice, version and contact lines under a picture.
// It has no behaviour of its own; clicking anything in it does nothing. Escape closes it.
class AboutBox : public QWidget {
    Q_OBJECT
public:
    explicit AboutBox(QWidget* parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Form_Load();
    static QPixmap drawPicture();

    QLabel* Label2 = nullptr;
};

} // namespace orvik
