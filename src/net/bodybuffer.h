// SPDX-FileCopyrightText: 2026 Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The body bytes that have arrived and not yet been taken, in blocks of
// fixed size: each write from libcurl lands with one copy, and the reader
// looks at the bytes where they lie instead of receiving a copy of them.
// A reader that wants to keep bytes beyond consume() (to write them to disk
// later, say) shares the block they lie in: a block somebody still holds
// is never written into again.
#include <QByteArray>
#include <QByteArrayView>

#include <deque>
#include <memory>
#include <vector>

namespace velmora::net {

// Bytes seen where they lie, and the block that holds them (null when the
// bytes had to be put together and are only valid until the next look).
struct SharedView
{
    QByteArrayView bytes;
    QByteArray owner;
};

class BodyBuffer
{
public:
    // Largest view peek() returns.
    static constexpr qint64 kMaxPeek = 64 * 1024;
    static constexpr qint64 kBlock = 1024 * 1024;
    // Blocks read and kept for later writes, at most: enough for the ones
    // a reader still holds to come back.
    static constexpr size_t kSpares = 12;

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
    QByteArrayView peek(qint64 maxBytes) { return peekShared(maxBytes).bytes; }
    SharedView peekShared(qint64 maxBytes);
    // Drops the oldest bytes (at most size()).
    void consume(qint64 bytes);
    void clear();

private:
    struct Block
    {
        QByteArray bytes;
        char *data = nullptr;  // written through this, so a shared block is never copied
    };
    void addBlock();
    void dropHead();

    const qint64 m_capacity;
    const qint64 m_blockSize;
    std::deque<Block> m_blocks;  // oldest first; only the last one is written into
    qint64 m_head = 0;           // offset of the oldest byte in the first block
    qint64 m_tail = 0;           // bytes written into the last block
    qint64 m_size = 0;
    std::vector<QByteArray> m_spare;  // blocks taken, to be filled again once nobody holds them
    // A view that would cross a block's end is put together here.
    std::unique_ptr<char[]> m_joined;
};

} // namespace velmora::net
