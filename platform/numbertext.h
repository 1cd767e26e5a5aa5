// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace orvik {

// Number text with the decimal separator of the user's regional settings
// (QLocale::system(), which follows LC_NUMERIC and LANG) and never any digit grouping.
QString localDecimalPoint();
QString wholeNumberText(double value);
QString fixed2NumberText(double value);
QString generalNumberText(double value);

} // namespace orvik
