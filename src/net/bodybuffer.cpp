// SPDX-FileCopyrightText: 2026 Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/bodybuffer.h"

#include <algorithm>
#include <cstring>

namespace velmora::net {

BodyBuffer::BodyBuffer(qint64 capacity)
    : m_capacity(capacity), m_ring(new char[size_t(capacity)]), m_joined(new char[size_t(kMaxPeek)])
{
}

bool BodyBuffer::write(const char *data, qint64 bytes)
{
    if (bytes > room())
        return false;
    const qint64 tail = (m_head + m_size) % m_capacity;
    const qint64 first = std::min(bytes, m_capacity - tail);
    std::memcpy(m_ring.get() + tail, data, size_t(first));
    if (first < bytes)
        std::memcpy(m_ring.get(), data + first, size_t(bytes - first));
    m_size += bytes;
    return true;
}

QByteArrayView BodyBuffer::peek(qint64 maxBytes)
{
    const qint64 n = std::min({maxBytes, m_size, kMaxPeek});
    if (n <= 0)
        return QByteArrayView();
    const qint64 first = std::min(n, m_capacity - m_head);
    if (first == n)
        return QByteArrayView(m_ring.get() + m_head, qsizetype(n));
    // Rare: once per turn of the ring, a few kilobytes are copied.
    std::memcpy(m_joined.get(), m_ring.get() + m_head, size_t(first));
    std::memcpy(m_joined.get() + first, m_ring.get(), size_t(n - first));
    return QByteArrayView(m_joined.get(), qsizetype(n));
}

void BodyBuffer::consume(qint64 bytes)
{
    const qint64 n = std::clamp<qint64>(bytes, 0, m_size);
    m_size -= n;
    // An empty ring starts again at its beginning, so that views rarely cross its end.
    m_head = m_size == 0 ? 0 : (m_head + n) % m_capacity;
}

void BodyBuffer::clear()
{
    m_head = 0;
    m_size = 0;
}

} // namespace velmora::net
