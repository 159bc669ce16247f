// SPDX-FileCopyrightText: 2026 Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Keeps the requests of a download to a rate: bytes may be asked for once
// the rate has made room for them, and time that passed with nothing asked
// saves up room for one request of `burst` bytes at most. libcurl's own
// limit holds within one request only, and a small one (a piece) is read
// whole before that limit ever sees a second go by.
#include <QtGlobal>

namespace velmora::net {

class RateGate
{
public:
    // bytesPerSecond 0: no limit. The room starts full.
    RateGate(qint64 bytesPerSecond, qint64 burst) : m_rate(bytesPerSecond), m_burst(burst), m_room(burst) {}

    // Milliseconds from nowMs (counted from when the gate opened) until
    // `bytes` more may be asked for; 0: now.
    qint64 waitMs(qint64 nowMs, qint64 bytes) const
    {
        if (m_rate <= 0)
            return 0;
        const qint64 missing = qMin(bytes, m_burst) - roomAt(nowMs);
        return missing <= 0 ? 0 : (missing * 1000 + m_rate - 1) / m_rate;
    }
    // Bytes asked for at nowMs.
    void take(qint64 nowMs, qint64 bytes)
    {
        m_room = roomAt(nowMs) - bytes;
        m_atMs = nowMs;
    }

private:
    qint64 roomAt(qint64 nowMs) const
    {
        return qMin(m_burst, m_room + m_rate * qMax<qint64>(0, nowMs - m_atMs) / 1000);
    }

    qint64 m_rate;
    qint64 m_burst;
    qint64 m_room;      // bytes that may be asked for at m_atMs (below 0 after a request larger than the burst)
    qint64 m_atMs = 0;
};

} // namespace velmora::net
