// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Hashes a file while it is received. Each kind of hash runs on a thread of
// its own (CRC32 with zlib, the others with OpenSSL), fed in order through a
// short queue of blocks the threads share; the thread that receives hands
// on the transfer's own blocks where it can, and copies only what does not
// lie in one. A resumed file's kept start is read from disk by the hashing
// threads themselves before what is fed.
#include "download/core/digest.h"
#include "download/core/sharedrun.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QObject>
#include <QString>

#include <memory>
#include <vector>

namespace velmora {

class Hasher : public QObject
{
    Q_OBJECT
public:
    static constexpr qsizetype kBlock = 512 * 1024;
    // Blocks a hashing thread may have waiting before the feeder should wait.
    static constexpr qsizetype kQueued = 8;

    explicit Hasher(QObject *parent = nullptr);
    ~Hasher() override;
    Hasher(const Hasher &) = delete;
    Hasher &operator=(const Hasher &) = delete;

    // Hashes anew with the given kinds: first the file's first `prefix`
    // bytes, then everything fed. Whatever ran before is abandoned.
    void start(const QString &path, qint64 prefix, const QList<HashKind> &kinds);
    // Abandons the hashing; nothing runs afterwards.
    void stop();
    // Started, and not stopped since (with no kinds it hashes nothing).
    bool active() const { return m_started; }
    // The file offset the next fed byte has: the prefix and what was fed.
    qint64 position() const { return m_position; }
    // Takes bytes; a full block goes to the hashing threads. Bytes that lie
    // in owner (shared, never written into while held) are not copied.
    void feed(QByteArrayView bytes, const QByteArray &owner = QByteArray());
    // A hashing thread is behind by kQueued blocks: the feeder waits for
    // progressed() and asks again, so that memory stays bounded.
    bool busy() const;
    // No more bytes follow: the last block is handed over.
    void close();
    // Every thread has finished since close().
    bool done() const;
    // The hashes, once done(); a kind whose file could not be read stays empty.
    FileHashes result() const;

signals:
    // From a hashing thread: a busy queue has room again, or a thread has finished.
    void progressed();

private:
    struct Lane;
    void handOver(const SharedRun &run);

    std::vector<std::unique_ptr<Lane>> m_lanes;
    // What is fed, in blocks of kBlock shared by all lanes.
    RunCollector m_collected{kBlock};
    qint64 m_position = 0;
    bool m_started = false;
};

} // namespace velmora
