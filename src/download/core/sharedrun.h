// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// A stretch of body bytes that lies in a block somebody shares with us (the
// transfer's), kept by holding the block instead of copying the bytes.
// Chunks that follow one another in the same block make one stretch.
#include <QByteArray>
#include <QByteArrayView>

namespace velmora {

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
    QByteArrayView bytes() const { return QByteArrayView(data, size); }
};

} // namespace velmora
