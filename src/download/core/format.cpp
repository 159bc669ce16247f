// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "download/core/format.h"

#include <QtGlobal>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace velmora {

namespace {

bool IsDigitPlaceholder(QChar c)
{
    return c == QLatin1Char('0') || c == QLatin1Char('#');
}

// The decimal digits of |value| rounded half up at `decimals` places, taken
// from its 15 significant digits (so 1.45 rounds like the 1.45 it was meant
// to be, not like the binary number just below it).
void DecimalDigits(double value, int decimals, QString &intDigits, QString &fracDigits)
{
    // The same text as printf's "%.14e", made several times faster: the
    // progress figures are worked out for every chunk of a download.
    char buf[64];
    const auto written = std::to_chars(buf, buf + sizeof buf - 1, std::fabs(value), std::chars_format::scientific, 14);
    *written.ptr = '\0';
    // buf: d.dddddddddddddde[+-]xx
    QString all;
    all.reserve(40);
    all += QLatin1Char(buf[0]);
    const char *p = buf + 2;
    while (*p && *p != 'e')
        all += QLatin1Char(*p++);
    const int exponent = *p == 'e' ? std::atoi(p + 1) : 0;
    int point = exponent + 1;
    if (point <= 0) {
        all.prepend(QString(-point, QLatin1Char('0')));
        point = 0;
    }
    if (point > all.size())
        all += QString(point - all.size(), QLatin1Char('0'));

    const int keep = point + decimals;
    if (keep < all.size()) {
        const bool up = all.at(keep) >= QLatin1Char('5');
        all.truncate(keep);
        if (up) {
            int i = keep - 1;
            for (; i >= 0; --i) {
                if (all.at(i) == QLatin1Char('9')) {
                    all[i] = QLatin1Char('0');
                } else {
                    all[i] = QChar(all.at(i).unicode() + 1);
                    break;
                }
            }
            if (i < 0) {
                all.prepend(QLatin1Char('1'));
                ++point;
            }
        }
    } else {
        all += QString(keep - all.size(), QLatin1Char('0'));
    }

    intDigits = all.left(point);
    while (!intDigits.isEmpty() && intDigits.front() == QLatin1Char('0'))
        intDigits.remove(0, 1);
    fracDigits = all.mid(point, decimals);
}

// A number in its general form: all significant digits (up to 15), no
// trailing zeros, no exponent for ordinary sizes.
QString GeneralNumber(double value)
{
    QString s = QString::number(value, 'g', 15);
    s.replace(QLatin1Char('e'), QLatin1Char('E'));
    return s;
}

} // namespace

double RoundHalfToEven(double x)
{
    const double f = std::floor(x);
    const double d = x - f;
    if (d > 0.5)
        return f + 1;
    if (d < 0.5)
        return f;
    return std::fmod(f, 2.0) == 0 ? f : f + 1;
}

QString FormatNumber(double value, const QString &pattern)
{
    qsizetype first = -1;
    qsizetype last = -1;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern.at(i);
        if (IsDigitPlaceholder(c) || c == QLatin1Char('.')) {
            if (first < 0)
                first = i;
            last = i;
        }
    }
    if (pattern.contains(QLatin1Char('%')))
        value *= 100.0;
    // Checked after the scaling: a huge fraction becomes infinite only then.
    if (!std::isfinite(value))
        return QString();
    if (first < 0)
        return pattern;

    const QString prefix = pattern.left(first);
    const QString suffix = pattern.mid(last + 1);
    const QString section = pattern.mid(first, last - first + 1);

    const qsizetype dot = section.indexOf(QLatin1Char('.'));
    const QString intSection = dot < 0 ? section : section.left(dot);
    const QString decSection = dot < 0 ? QString() : section.mid(dot + 1);

    const int minInt = int(intSection.count(QLatin1Char('0')));
    int maxDec = 0;
    int minDec = 0;
    for (qsizetype i = 0; i < decSection.size(); ++i) {
        if (IsDigitPlaceholder(decSection.at(i))) {
            ++maxDec;
            if (decSection.at(i) == QLatin1Char('0'))
                minDec = maxDec;
        }
    }

    QString intDigits;
    QString fracDigits;
    DecimalDigits(value, maxDec, intDigits, fracDigits);
    while (fracDigits.size() > minDec && fracDigits.endsWith(QLatin1Char('0')))
        fracDigits.chop(1);
    if (intDigits.size() < minInt)
        intDigits.prepend(QString(minInt - intDigits.size(), QLatin1Char('0')));

    bool nonZero = false;
    for (const QChar c : intDigits + fracDigits)
        nonZero = nonZero || c != QLatin1Char('0');

    QString out;
    if (value < 0 && nonZero)
        out += QLatin1Char('-');
    out += prefix + intDigits;
    if (dot >= 0)
        out += QLatin1Char('.') + fracDigits;
    out += suffix;
    return out;
}

QString FormatSize(double dblValue, const QString &strFormat)
{
    constexpr double kKB = 1024.0;
    constexpr double kMB = 1024.0 * 1024.0;
    constexpr double kGB = 1024.0 * 1024.0 * 1024.0;
    if (std::isnan(dblValue))
        return QString();
    if (dblValue >= 0 && dblValue <= 1023)
        return GeneralNumber(dblValue) + QStringLiteral(" bytes");
    if (dblValue >= 1024 && dblValue <= 1048575)
        return FormatNumber(dblValue / kKB, strFormat.isEmpty() ? QStringLiteral("###0") : strFormat)
               + QStringLiteral(" KB");
    if (dblValue >= 1048576 && dblValue <= 1073741823)
        return FormatNumber(dblValue / kMB, strFormat.isEmpty() ? QStringLiteral("###0.0") : strFormat)
               + QStringLiteral(" MB");
    if (dblValue > 1073741823 && std::isfinite(dblValue))
        return FormatNumber(dblValue / kGB, strFormat.isEmpty() ? QStringLiteral("###0.0") : strFormat)
               + QStringLiteral(" GB");
    // Negative values and the gaps between the ranges have no text.
    return QString();
}

// The value is rounded to the unit that is shown last before it is split, so
// that a falling time never reads higher in a larger unit than it did a
// moment before (119.6 s is "2 分钟 0 秒", not "1 分钟 0 秒").
QString FormatDuration(float sngSeconds)
{
    const double s = sngSeconds;
    if (!std::isfinite(s))
        return QString();
    // A time left below zero (more bytes than announced) is nothing left.
    const double seconds = std::max(0.0, RoundHalfToEven(s));
    if (seconds < 60)
        return FormatNumber(seconds, QStringLiteral("0")) + QStringLiteral(" 秒");
    if (seconds < 3600) {
        return FormatNumber(std::floor(seconds / 60.0), QStringLiteral("#0")) + QStringLiteral(" 分钟 ")
               + FormatNumber(std::fmod(seconds, 60.0), QStringLiteral("0")) + QStringLiteral(" 秒");
    }
    const double minutes = RoundHalfToEven(s / 60.0);
    return FormatNumber(std::floor(minutes / 60.0), QStringLiteral("#0")) + QStringLiteral(" 小时 ")
           + FormatNumber(std::fmod(minutes, 60.0), QStringLiteral("0")) + QStringLiteral(" 分钟");
}

} // namespace velmora
