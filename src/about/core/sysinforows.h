// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The rows of the About window's system-information list, built from System.
#include "about/core/system.h"

#include <QList>
#include <QPair>

namespace velmora {

// The figures the four System procedures hand back, kept by the window.
struct SysinfoFields {
    quint8 btePercentUsed = 0;
    qint64 lngTotalRam = 0;
    qint64 lngFreeRam = 0;
    QString strProcessor;
    qint64 lngNumOfProcessors = 0;
    quint64 lngActiveProcessor = 0;
    int intRemovable = 0;
    int intNotRemovable = 0;
    int intCD = 0;
    int intRAM = 0;
    int intNetwork = 0;
    int intMajor = 0;
    int intMinor = 0;
    QString strPlatform;
};

using SysinfoRow = QPair<QString, QString>;  // caption, value

// A whole number with "," between groups of three digits and no digit for 0
// (the list's "###,###,###" pattern): 1048576 -> "1,048,576", 0 -> "".
QString FormatGrouped(qint64 number);

// Asks objSystem for memory, processors, drives and version (into fields),
// then builds the 20 rows in order, fetching the remaining facts as it goes.
QList<SysinfoRow> BuildSysinfoRows(System &objSystem, SysinfoFields &fields);

} // namespace velmora
