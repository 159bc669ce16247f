// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Hashes a file while it is received. Each kind of hash runs on a thread of
// its own (CRC32 with libdeflate, the others with OpenSSL), fed in order through a
// short queue of blocks the threads share; the thread that receives hands
// on the transfer's own blocks where it can, and copies only what does not
// lie in one. A resumed file's kept start is read from disk by the hashing
// threads themselves before what is fed.
//
// The fast kinds (CRC32, SHA-256) may instead be reckoned by the file's
// writing thread, right after each write (see WrittenTap): hashes faster
// than the link cost less there than the bytes' trip to another processor.
#include "download/core/bodyfile.h"
#include "download/core/digest.h"
#include "download/core/sharedrun.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QObject>
#include <QString>

#include <memory>
#include <mutex>
#include <vector>

namespace velmora {

class Hasher : public QObject, public WrittenTap
{
    Q_OBJECT
public:
    // Where the fast kinds are reckoned when the hashing starts at the file's first byte.
    enum class FastOn { Lanes, Writer };

    static constexpr qsizetype kBlock = 512 * 1024;
    // Blocks a hashing thread may have waiting before the feeder should wait.
    static constexpr qsizetype kQueued = 8;

    explicit Hasher(QObject *parent = nullptr);
    ~Hasher() override;
    Hasher(const Hasher &) = delete;
    Hasher &operator=(const Hasher &) = delete;

    // Hashes anew with the given kinds: first the file's first `prefix`
    // bytes, then everything fed. Whatever ran before is abandoned. With
    // FastOn::Writer and no prefix, every byte fed must also reach written()
    // (from a BodyFile this is the tap of) before close(), and the fast
    // kinds are reckoned there.
    void start(const QString &path, qint64 prefix, const QList<HashKind> &kinds, FastOn fastOn = FastOn::Lanes);
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
    // No more bytes follow: the last block is handed over, and the kinds on
    // the writer take their value.
    void close();
    // Every thread has finished since close().
    bool done() const;
    // The hashes, once done(); a kind whose file could not be read stays
    // empty, and so does a kind on the writer that was not told every byte.
    FileHashes result() const;
    // From the file's writing thread: bytes now on disk at offset.
    void written(const char *data, qsizetype size, qint64 offset) override;

signals:
    // From a hashing thread: a busy queue has room again, or a thread has finished.
    void progressed();

private:
    struct Lane;
    // The kinds reckoned over what the file's writer tells of, from offset 0 on.
    struct OnWriter;
    void handOver(const SharedRun &run);
    void closeOnWriter();

    std::vector<std::unique_ptr<Lane>> m_lanes;
    mutable std::mutex m_writerMutex;  // the writer's thread and ours
    std::unique_ptr<OnWriter> m_onWriter;  // none: every kind on a lane
    // What is fed, in blocks of kBlock shared by all lanes.
    RunCollector m_collected{kBlock};
    qint64 m_position = 0;
    bool m_started = false;
};

} // namespace velmora
