// SPDX-FileCopyrightText: 2026 Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/bodybuffer.h"

#include <algorithm>
#include <cstring>

namespace velmora::net {

BodyBuffer::BodyBuffer(qint64 capacity)
    : m_capacity(capacity), m_blockSize(std::min(capacity, kBlock)), m_joined(new char[size_t(kMaxPeek)])
{
}

bool BodyBuffer::write(const char *data, qint64 bytes)
{
    if (bytes > room())
        return false;
    while (bytes > 0) {
        if (m_blocks.empty() || m_tail == m_blockSize)
            addBlock();
        const qint64 n = std::min(bytes, m_blockSize - m_tail);
        std::memcpy(m_blocks.back().data + m_tail, data, size_t(n));
        m_tail += n;
        m_size += n;
        data += n;
        bytes -= n;
    }
    return true;
}

// A block of the ones taken before that nobody holds any more, or a new one.
void BodyBuffer::addBlock()
{
    Block block;
    // One still held (by the disk's writer, say) stays among the spares: it
    // is free again soon, and new memory costs the system a page fault a page.
    const auto free = std::find_if(m_spare.begin(), m_spare.end(), [](const QByteArray &b) { return b.isDetached(); });
    if (free != m_spare.end()) {
        block.bytes = std::move(*free);
        m_spare.erase(free);
    } else {
        block.bytes = QByteArray(qsizetype(m_blockSize), Qt::Uninitialized);
    }
    block.data = block.bytes.data();
    m_blocks.push_back(std::move(block));
    m_tail = 0;
}

SharedView BodyBuffer::peekShared(qint64 maxBytes)
{
    const qint64 n = std::min({maxBytes, m_size, kMaxPeek});
    if (n <= 0)
        return {};
    const Block &first = m_blocks.front();
    const qint64 inFirst = (m_blocks.size() == 1 ? m_tail : m_blockSize) - m_head;
    if (n <= inFirst)
        return {QByteArrayView(first.data + m_head, qsizetype(n)), first.bytes};
    // Rare: where a read does not meet a block's end, a few kilobytes are copied.
    std::memcpy(m_joined.get(), first.data + m_head, size_t(inFirst));
    std::memcpy(m_joined.get() + inFirst, m_blocks[1].data, size_t(n - inFirst));
    return {QByteArrayView(m_joined.get(), qsizetype(n)), QByteArray()};
}

void BodyBuffer::consume(qint64 bytes)
{
    qint64 left = std::clamp<qint64>(bytes, 0, m_size);
    while (left > 0) {
        const qint64 inFirst = (m_blocks.size() == 1 ? m_tail : m_blockSize) - m_head;
        const qint64 n = std::min(left, inFirst);
        m_head += n;
        m_size -= n;
        left -= n;
        if (m_head == m_blockSize)
            dropHead();
    }
}

// The oldest block is read: it is kept for later writes. A block read up to
// where it is written stays: the next bytes follow in it, so that the
// stream's blocks are always full ones and views rarely cross an end.
void BodyBuffer::dropHead()
{
    if (m_spare.size() == kSpares)
        m_spare.erase(m_spare.begin());  // the one held longest
    m_spare.push_back(std::move(m_blocks.front().bytes));
    m_blocks.pop_front();
    m_head = 0;
    if (m_blocks.empty())
        m_tail = 0;
}

void BodyBuffer::clear()
{
    while (!m_blocks.empty())
        dropHead();
    m_size = 0;
}

} // namespace velmora::net
