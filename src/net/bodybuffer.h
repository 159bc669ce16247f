// SPDX-FileCopyrightText: 2026 Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The body bytes that have arrived and not yet been taken, in a ring of
// fixed size: each write from libcurl lands with one copy, and the reader
// looks at the bytes where they lie instead of receiving a copy of them.
#include <QByteArrayView>

#include <memory>

namespace velmora::net {

class BodyBuffer
{
public:
    // Largest view peek() returns.
    static constexpr qint64 kMaxPeek = 64 * 1024;

    explicit BodyBuffer(qint64 capacity);
    BodyBuffer(const BodyBuffer &) = delete;
    BodyBuffer &operator=(const BodyBuffer &) = delete;

    qint64 capacity() const { return m_capacity; }
    qint64 size() const { return m_size; }
    qint64 room() const { return m_capacity - m_size; }

    // Appends bytes; the caller checks room() first. False when they do not fit.
    bool write(const char *data, qint64 bytes);
    // Up to maxBytes (at most kMaxPeek) of the oldest bytes, as one view. It
    // stays valid until consume() or clear(); writes never touch it.
    QByteArrayView peek(qint64 maxBytes);
    // Drops the oldest bytes (at most size()).
    void consume(qint64 bytes);
    void clear();

private:
    const qint64 m_capacity;
    std::unique_ptr<char[]> m_ring;
    qint64 m_head = 0;  // offset of the oldest byte
    qint64 m_size = 0;
    // A view that would cross the ring's end is put together here.
    std::unique_ptr<char[]> m_joined;
};

} // namespace velmora::net
