// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "about/core/sysinforows.h"

namespace velmora {

QString FormatGrouped(qint64 number)
{
    if (number == 0)
        return QString();
    QString digits = QString::number(number);
    const bool negative = digits.startsWith(QLatin1Char('-'));
    if (negative)
        digits.remove(0, 1);
    for (int pos = digits.size() - 3; pos > 0; pos -= 3)
        digits.insert(pos, QLatin1Char(','));
    return negative ? QLatin1Char('-') + digits : digits;
}

QList<SysinfoRow> BuildSysinfoRows(System &objSystem, SysinfoFields &f)
{
    objSystem.FreeMemory(f.btePercentUsed, f.lngTotalRam, f.lngFreeRam);
    objSystem.SystemInfo(f.strProcessor, f.lngNumOfProcessors, f.lngActiveProcessor);
    objSystem.Drives(f.intRemovable, f.intNotRemovable, f.intCD, f.intRAM, f.intNetwork);
    objSystem.WinVer(f.intMajor, f.intMinor, f.strPlatform);

    const auto kb = [](qint64 value) { return FormatGrouped(value) + QStringLiteral(" Kb"); };
    QList<SysinfoRow> rows;
    rows << SysinfoRow(QStringLiteral("Operating system"), f.strPlatform);
    rows << SysinfoRow(QStringLiteral("Windows version"),
                       QString::number(f.intMajor) + QLatin1Char('.') + QString::number(f.intMinor));
    rows << SysinfoRow(QStringLiteral("User name"), objSystem.UserName());
    rows << SysinfoRow(QStringLiteral("Windows directory"), objSystem.WinDir());
    rows << SysinfoRow(QStringLiteral("System directory"), objSystem.SystemDir());
    rows << SysinfoRow(QStringLiteral("Temp directory"), objSystem.TempDir());
    rows << SysinfoRow(QStringLiteral("Keyboard type"), objSystem.KeyboardType());
    rows << SysinfoRow(QStringLiteral("Function keys"), QString::number(objSystem.FunctionKeys()));
    rows << SysinfoRow(QStringLiteral("Computer name"), objSystem.ComputerName());
    rows << SysinfoRow(QStringLiteral("Number of processors"), QString::number(f.lngNumOfProcessors));
    rows << SysinfoRow(QStringLiteral("Active processor"), QLatin1Char('#') + QString::number(f.lngActiveProcessor));
    rows << SysinfoRow(QStringLiteral("Processor type"), f.strProcessor);
    rows << SysinfoRow(QStringLiteral("Total RAM"), kb(f.lngTotalRam));
    rows << SysinfoRow(QStringLiteral("Free RAM"), kb(f.lngFreeRam));
    rows << SysinfoRow(QStringLiteral("RAM used"), QString::number(f.btePercentUsed) + QStringLiteral(" %"));
    rows << SysinfoRow(QStringLiteral("Removable drives"), QString::number(f.intRemovable));
    rows << SysinfoRow(QStringLiteral("Fixed drives"), QString::number(f.intNotRemovable));
    rows << SysinfoRow(QStringLiteral("CD-ROM drives"), QString::number(f.intCD));
    rows << SysinfoRow(QStringLiteral("RAM drives"), QString::number(f.intRAM));
    rows << SysinfoRow(QStringLiteral("Network drives"), QString::number(f.intNetwork));
    return rows;
}

} // namespace velmora
