// SPDX-License-Identifier: GPL-3.0-or-later
#include "numbertext.h"

#include "decoder/numbertext.h"

#include <QLocale>

namespace orvik {

QString localDecimalPoint() { return QLocale::system().decimalPoint(); }

QString wholeNumberText(double value) { return QString::fromStdString(wholeText(value)); }

QString fixed2NumberText(double value)
{
    return QString::fromStdString(fixed2Text(value, localDecimalPoint().toStdString()));
}

QString generalNumberText(double value)
{
    return QString::fromStdString(generalText(value, localDecimalPoint().toStdString()));
}

} // namespace orvik
