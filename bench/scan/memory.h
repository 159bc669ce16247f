// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// This process's memory as Linux tells it in /proc/self/status, for the
// scan benchmarks.
#include <QByteArray>
#include <QFile>

// One "Vm…:" figure in KiB (VmHWM: the peak since the last reset; VmRSS:
// now); -1 when it cannot be read.
inline qint64 StatusKiB(const QByteArray &field)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith(field + ':'))
            return line.mid(field.size() + 1).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

inline qint64 PeakKiB() { return StatusKiB("VmHWM"); }
inline qint64 CurrentKiB() { return StatusKiB("VmRSS"); }
// Starts VmHWM again from what is resident now.
inline void ResetPeak()
{
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (f.open(QIODevice::WriteOnly))
        f.write("5");
}
