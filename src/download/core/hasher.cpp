// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "download/core/hasher.h"

#include <QFile>
#include <QtEndian>

#include <libdeflate.h>
#include <openssl/evp.h>

#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>

namespace velmora {

namespace {

// One kind of hash over a stream of bytes.
class Digester
{
public:
    explicit Digester(HashKind kind) : m_kind(kind)
    {
        if (kind == HashKind::Crc32)
            return;
        m_ctx = EVP_MD_CTX_new();
        if (m_ctx && EVP_DigestInit_ex(m_ctx, mdOf(kind), nullptr) != 1) {
            EVP_MD_CTX_free(m_ctx);
            m_ctx = nullptr;
        }
    }
    ~Digester() { EVP_MD_CTX_free(m_ctx); }
    Digester(const Digester &) = delete;
    Digester &operator=(const Digester &) = delete;

    void update(const char *data, qsizetype size)
    {
        if (m_kind == HashKind::Crc32)
            m_crc = libdeflate_crc32(m_crc, data, size_t(size));
        else if (m_ctx && EVP_DigestUpdate(m_ctx, data, size_t(size)) != 1)
            m_failed = true;
    }

    QByteArray final()
    {
        if (m_kind == HashKind::Crc32) {
            QByteArray out(4, Qt::Uninitialized);
            qToBigEndian(m_crc, out.data());
            return out;
        }
        unsigned char out[EVP_MAX_MD_SIZE];
        unsigned int size = 0;
        if (!m_ctx || m_failed || EVP_DigestFinal_ex(m_ctx, out, &size) != 1)
            return QByteArray();
        return QByteArray(reinterpret_cast<const char *>(out), int(size));
    }

private:
    static const EVP_MD *mdOf(HashKind kind)
    {
        switch (kind) {
        case HashKind::Md5: return EVP_md5();
        case HashKind::Sha512: return EVP_sha512();
        default: return EVP_sha256();
        }
    }

    HashKind m_kind;
    EVP_MD_CTX *m_ctx = nullptr;
    quint32 m_crc = 0;  // libdeflate's start value
    bool m_failed = false;
};

// The kinds the file's writer reckons as it writes: the ones faster than
// a fast link, so that the writer keeps up. A lane has to fetch every byte
// from the other processor's cache and be woken for each block: measured
// on 1 GiB over loopback, CRC32 on the writer costs no time that shows,
// and SHA-256 there a little less than on a lane. The slower kinds keep
// lanes, so that they run beside the writes instead of holding them up.
bool RidesWriter(HashKind kind)
{
    return kind == HashKind::Crc32 || kind == HashKind::Sha256;
}

} // namespace

struct Hasher::OnWriter
{
    struct Kind
    {
        HashKind kind;
        std::unique_ptr<Digester> digester;
        QByteArray hash;  // from close(), when every byte fed was told
    };
    std::vector<Kind> digesters;
    bool broken = false;  // a stretch came out of order
    bool closed = false;  // nothing more is added
    qint64 next = 0;      // where the next stretch must start
};

struct Hasher::Lane
{
    HashKind kind;
    std::mutex mutex;
    std::condition_variable wakeUp;
    std::deque<SharedRun> queue;  // blocks shared with the other lanes
    bool closed = false;
    bool abandoned = false;
    bool finished = false;
    QByteArray hash;
    std::thread thread;

    void run(const QString &path, qint64 prefix, Hasher *owner)
    {
        Digester digester(kind);
        const bool read = readPrefix(path, prefix, digester);
        for (;;) {
            std::unique_lock<std::mutex> lock(mutex);
            wakeUp.wait(lock, [this] { return abandoned || closed || !queue.empty(); });
            if (abandoned)
                return;
            if (queue.empty())
                break;  // closed, and everything hashed
            const SharedRun run = std::move(queue.front());
            queue.pop_front();
            const bool roomAgain = queue.size() == size_t(kQueued / 2);
            lock.unlock();
            digester.update(run.data, run.size);
            if (roomAgain)
                emit owner->progressed();
        }
        const QByteArray result = read ? digester.final() : QByteArray();
        {
            std::lock_guard<std::mutex> lock(mutex);
            hash = result;
            finished = true;
        }
        emit owner->progressed();
    }

    bool isAbandoned()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return abandoned;
    }

    // The kept start of a resumed file, read in blocks, as it is on disk.
    bool readPrefix(const QString &path, qint64 prefix, Digester &digester)
    {
        if (prefix <= 0)
            return true;
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return false;
        QByteArray buffer(kBlock, Qt::Uninitialized);
        for (qint64 left = prefix; left > 0;) {
            if (isAbandoned())
                return false;
            const qint64 got = file.read(buffer.data(), qMin<qint64>(left, kBlock));
            if (got <= 0)
                return false;
            digester.update(buffer.constData(), qsizetype(got));
            left -= got;
        }
        return true;
    }
};

Hasher::Hasher(QObject *parent) : QObject(parent) {}

Hasher::~Hasher()
{
    stop();
}

void Hasher::start(const QString &path, qint64 prefix, const QList<HashKind> &kinds, FastOn fastOn)
{
    stop();
    m_started = true;
    m_position = prefix;
    // A kept start to read first is read by a lane: the writer must not wait for it.
    auto onWriter = std::make_unique<OnWriter>();
    for (HashKind kind : kinds) {
        if (fastOn == FastOn::Writer && prefix == 0 && RidesWriter(kind)) {
            onWriter->digesters.push_back({kind, std::make_unique<Digester>(kind), QByteArray()});
            continue;
        }
        auto lane = std::make_unique<Lane>();
        lane->kind = kind;
        Lane *l = lane.get();
        lane->thread = std::thread([l, path, prefix, this] { l->run(path, prefix, this); });
        m_lanes.push_back(std::move(lane));
    }
    const std::lock_guard<std::mutex> lock(m_writerMutex);
    if (!onWriter->digesters.empty())
        m_onWriter = std::move(onWriter);
}

void Hasher::written(const char *data, qsizetype size, qint64 offset)
{
    const std::lock_guard<std::mutex> lock(m_writerMutex);
    OnWriter *w = m_onWriter.get();
    if (!w || w->broken || w->closed)
        return;
    if (offset != w->next) {
        w->broken = true;
        return;
    }
    for (OnWriter::Kind &k : w->digesters)
        k.digester->update(data, size);
    w->next += size;
}

void Hasher::stop()
{
    for (auto &lane : m_lanes) {
        {
            std::lock_guard<std::mutex> lock(lane->mutex);
            lane->abandoned = true;
        }
        lane->wakeUp.notify_one();
    }
    for (auto &lane : m_lanes)
        lane->thread.join();
    m_lanes.clear();
    m_collected.clear();
    m_position = 0;
    m_started = false;
    const std::lock_guard<std::mutex> lock(m_writerMutex);
    m_onWriter.reset();
}

void Hasher::feed(QByteArrayView bytes, const QByteArray &owner)
{
    m_position += bytes.size();
    if (m_lanes.empty())
        return;
    m_collected.add(bytes, owner, [this](const SharedRun &run) { handOver(run); });
}

void Hasher::handOver(const SharedRun &run)
{
    // One block for all lanes: each holds a reference, none a copy.
    for (auto &lane : m_lanes) {
        {
            std::lock_guard<std::mutex> lock(lane->mutex);
            lane->queue.push_back(run);
        }
        lane->wakeUp.notify_one();
    }
}

bool Hasher::busy() const
{
    for (const auto &lane : m_lanes) {
        std::lock_guard<std::mutex> lock(lane->mutex);
        if (lane->queue.size() >= size_t(kQueued))
            return true;
    }
    return false;
}

void Hasher::close()
{
    closeOnWriter();
    m_collected.handOn([this](const SharedRun &run) { handOver(run); });
    for (auto &lane : m_lanes) {
        {
            std::lock_guard<std::mutex> lock(lane->mutex);
            lane->closed = true;
        }
        lane->wakeUp.notify_one();
    }
}

void Hasher::closeOnWriter()
{
    const std::lock_guard<std::mutex> lock(m_writerMutex);
    OnWriter *w = m_onWriter.get();
    if (!w)
        return;
    w->closed = true;
    // A kind that was not told every byte fed stays empty.
    if (w->broken || w->next != m_position)
        return;
    for (OnWriter::Kind &k : w->digesters)
        k.hash = k.digester->final();
}

bool Hasher::done() const
{
    for (const auto &lane : m_lanes) {
        std::lock_guard<std::mutex> lock(lane->mutex);
        if (!lane->finished)
            return false;
    }
    return true;
}

FileHashes Hasher::result() const
{
    FileHashes out;
    for (const auto &lane : m_lanes) {
        std::lock_guard<std::mutex> lock(lane->mutex);
        out.of(lane->kind) = lane->hash;
    }
    const std::lock_guard<std::mutex> lock(m_writerMutex);
    if (const OnWriter *w = m_onWriter.get())
        for (const OnWriter::Kind &k : w->digesters)
            out.of(k.kind) = k.hash;
    return out;
}

} // namespace velmora
