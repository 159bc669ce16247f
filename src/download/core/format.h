// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
#include <QString>

namespace velmora {

// Number-pattern formatting: "0" required digit, "#" optional digit, "." decimal
// point, "%" multiplies by 100; rounds to the shown decimals.
QString FormatNumber(double value, const QString &pattern);

// Rounds to a whole number, a half going to the even neighbour.
double RoundHalfToEven(double x);

QString FormatSize(double dblValue, const QString &strFormat = QString());
QString FormatDuration(float sngSeconds);

} // namespace velmora
