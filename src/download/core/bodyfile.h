// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The local file a body is written to. Chunks are collected into large
// blocks, and the blocks are written by a thread of the file's own while
// the next ones are received: the disk and the network work at the same
// time, and a few large writes cost the system far less than many small
// ones. Chunks that lie one after the other in a block somebody shares
// with us (the transfer's own) are written from there, not copied. The
// blocks reach the disk in order, so the file is always the body's first
// bytes and stays a prefix of the remote one whenever the download stops.
#include <QByteArray>
#include <QByteArrayView>
#include <QFile>
#include <QString>

#include "download/core/sharedrun.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace velmora {

// Told, on the file's writing thread, of each stretch right after it is on
// disk, in order: reading it there costs next to nothing, as the write has
// just brought it into that processor's cache.
class WrittenTap
{
public:
    virtual void written(const char *data, qsizetype size, qint64 offset) = 0;

protected:
    ~WrittenTap() = default;
};

class BodyFile
{
public:
    // Bytes collected before they are handed to the writing thread.
    static constexpr qint64 kBlock = 1024 * 1024;
    // Blocks in all: one being filled, the others written or waiting to be.
    static constexpr int kBlocks = 8;
    // Room taken from the file system ahead of the writes, at most.
    static constexpr qint64 kReserveStep = 64 * 1024 * 1024;

    BodyFile();
    ~BodyFile();
    BodyFile(const BodyFile &) = delete;
    BodyFile &operator=(const BodyFile &) = delete;

    // Opens path for writing at offset; unless told not to cut, whatever the
    // file held from there on is cut off. end: where the file will end when
    // whole. False (see errorString()) when that cannot be done.
    bool open(const QString &path, qint64 offset, qint64 end, bool cut = true);
    // Direct access to the file, once everything collected is on disk.
    bool seek(qint64 position);
    bool resize(qint64 size);
    QByteArray read(qint64 size);
    bool isOpen() const { return m_file.isOpen(); }
    // Whom to tell of what is written; set before the first open().
    void setTap(WrittenTap *tap) { m_tap = tap; }
    // Takes one chunk; a full block goes to the writing thread. Waits only
    // when every block is still being written: the disk sets the pace then.
    // A chunk that lies in owner (shared, never written into again while we
    // hold it) is kept there instead of copied.
    bool append(QByteArrayView chunk, const QByteArray &owner = QByteArray());
    // Hands what is collected to the writing thread, without waiting for it.
    // False once a write has failed.
    bool flush();
    // Waits until everything collected is on disk.
    bool drain();
    // Writes what is collected and closes; a write error is kept in errorString().
    bool close();
    QString errorString() const;
    // Bytes collected and not yet on disk.
    qint64 pending() const;

private:
    // Bytes to be written at offset.
    struct Job
    {
        SharedRun run;
        qint64 offset = 0;
    };

    void handOver();
    void queue(SharedRun run);
    void writeLoop();
    bool writeJob(const Job &job);
    void reserveAhead(qint64 upTo);
    void fail(const QString &error);

    QFile m_file;
    int m_fd = -1;
    WrittenTap *m_tap = nullptr;
    // Collected by append(), and where its first byte lands.
    RunCollector m_collected{kBlock};
    qint64 m_blockOffset = 0;

    // Shared with the writing thread, under m_mutex.
    mutable std::mutex m_mutex;
    std::condition_variable m_work;     // a job came, or the thread is to end
    std::condition_variable m_written;  // a job is done
    std::deque<Job> m_jobs;
    qint64 m_queued = 0;                // bytes handed over, not yet on disk
    bool m_writing = false;
    bool m_quit = false;
    QString m_error;
    std::atomic<bool> m_failed = false;  // a write failed (m_error says why): read without the lock
    // The writing thread's own while jobs are out; the appender's otherwise.
    qint64 m_diskEnd = 0;   // where what reached the disk ends
    qint64 m_end = 0;
    qint64 m_reserved = 0;  // room taken up to here

    std::thread m_thread;
};

} // namespace velmora
