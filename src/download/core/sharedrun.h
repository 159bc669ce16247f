// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Body bytes kept without copying them where that can be done: a stretch of
// bytes that lies in a block somebody shares with us (the transfer's) is
// kept by holding the block. The file's writer and the hashes both take the
// stream this way, through one RunCollector each.
#include <QByteArray>
#include <QByteArrayView>

#include <algorithm>
#include <cstring>
#include <vector>

namespace velmora {

// A stretch of bytes and the block that keeps them.
struct SharedRun
{
    QByteArray owner;  // keeps the bytes; never written into while we hold it
    const char *data = nullptr;
    qsizetype size = 0;

    // The chunk's bytes lie inside owner.
    static bool Lies(QByteArrayView chunk, const QByteArray &owner)
    {
        return !owner.isNull() && chunk.data() >= owner.constData()
            && chunk.data() + chunk.size() <= owner.constData() + owner.size();
    }
    bool isEmpty() const { return size == 0; }
    // The chunk comes right after this stretch, in the same block, and the
    // stretch stays within limit bytes.
    bool continuedBy(QByteArrayView chunk, const QByteArray &block, qsizetype limit) const
    {
        return size > 0 && owner.constData() == block.constData() && data + size == chunk.data()
            && size + chunk.size() <= limit;
    }
};

// Cuts a stream of chunks into stretches of at most `limit` bytes, in order.
// Chunks that follow one another in one shared block make a stretch where
// they lie; any other chunk is copied into a block of our own. Our blocks
// are filled again once nobody holds the stretches handed on from them:
// fresh memory of this size costs a page fault a page.
class RunCollector
{
public:
    explicit RunCollector(qsizetype limit) : m_limit(limit) {}

    // Takes a chunk (owner: the block it may lie in); every stretch that is
    // complete goes to take(SharedRun) in order.
    template <typename Take>
    void add(QByteArrayView chunk, const QByteArray &owner, Take &&take)
    {
        if (SharedRun::Lies(chunk, owner))
            return addShared(chunk, owner, take);
        while (!chunk.isEmpty()) {
            if (!m_copying)
                startOwn(take);
            const qsizetype part = std::min(m_limit - m_run.size, chunk.size());
            std::memcpy(m_ownData + m_run.size, chunk.data(), size_t(part));
            m_run.size += part;
            chunk = chunk.sliced(part);
            if (m_run.size == m_limit)
                handOn(take);
        }
    }
    // What is collected goes to take() now, however short.
    template <typename Take>
    void handOn(Take &&take)
    {
        if (!m_run.isEmpty())
            take(std::move(m_run));
        clear();
    }
    qsizetype collected() const { return m_run.size; }
    void clear()
    {
        m_run = SharedRun();
        m_copying = false;
    }

private:
    template <typename Take>
    void addShared(QByteArrayView chunk, const QByteArray &owner, Take &take)
    {
        if (!m_run.continuedBy(chunk, owner, m_limit)) {
            handOn(take);
            m_run = SharedRun{owner, chunk.data(), 0};
        }
        m_run.size += chunk.size();
        if (m_run.size == m_limit)
            handOn(take);
    }
    // A block of ours nobody else holds any more, or a new one.
    template <typename Take>
    void startOwn(Take &take)
    {
        handOn(take);
        // m_mine's own reference alone: isDetached().
        auto free = std::find_if(m_mine.begin(), m_mine.end(), [](const QByteArray &b) { return b.isDetached(); });
        if (free == m_mine.end()) {
            m_mine.push_back(QByteArray(m_limit, Qt::Uninitialized));
            free = m_mine.end() - 1;
        }
        // Taken while nobody else holds the block (data() copies nothing
        // then); the copies go through it, as the block is shared from now on.
        m_ownData = free->data();
        m_run = SharedRun{*free, m_ownData, 0};
        m_copying = true;
    }

    const qsizetype m_limit;
    SharedRun m_run;                // the stretch being collected
    bool m_copying = false;         // m_run lies in a block of ours
    char *m_ownData = nullptr;      // that block, to copy into
    std::vector<QByteArray> m_mine; // our own blocks, each held here as well
};

} // namespace velmora
