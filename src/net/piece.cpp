// SPDX-FileCopyrightText: 2026 Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/piece.h"

#include "net/transfer.h"

namespace velmora::net {

namespace {

// A server's wish to be left alone, in whole seconds; longer waits are cut
// to this, since the other connections carry on meanwhile anyway.
constexpr int kMaxRetryAfterSeconds = 30;

int RetryAfterMs(const QByteArray &value)
{
    bool ok = false;
    const int seconds = value.trimmed().toInt(&ok);
    if (!ok || seconds < 0)
        return -1;  // absent, or a date: our own back-off decides
    return qMin(seconds, kMaxRetryAfterSeconds) * 1000;
}

} // namespace

QByteArray ValidatorOf(const QByteArray &etag, const QByteArray &lastModified)
{
    const QByteArray tag = etag.trimmed();
    if (!tag.isEmpty() && !tag.startsWith("W/"))  // a weak tag cannot vouch for bytes
        return tag;
    return lastModified.trimmed();
}

PieceFetch::PieceFetch(CurlMulti *multi, const PieceSource &source, QObject *parent)
    : QObject(parent), m_source(source), m_transfer(new Transfer(multi, this))
{
    m_transfer->setCredentials(source.userName, source.password);
    connect(m_transfer, &Transfer::wake, this, &PieceFetch::onWake);
}

PieceFetch::~PieceFetch() = default;

void PieceFetch::start(qint64 from, qint64 to, qint64 bytesPerSecond, QByteArray buffer)
{
    m_from = from;
    m_to = to;
    m_bytes = std::move(buffer);
    m_bytes.resize(0);  // keeps its memory
    m_bytes.reserve(qsizetype(to - from + 1));
    m_headJudged = false;
    m_retryAfterMs = -1;
    m_outcome = Outcome::Running;
    NetSettings settings = m_source.settings;
    settings.connections = 1;
    settings.maxBytesPerSecond = bytesPerSecond;
    m_transfer->setSettings(settings);
    const QByteArray range = "bytes=" + QByteArray::number(from) + '-' + QByteArray::number(to);
    m_asked = m_transfer->execute(m_source.address, range, false, m_source.validator);
    if (!m_asked)
        end(Outcome::Wrong);
}

void PieceFetch::cancel()
{
    m_transfer->cancel();
    m_asked = false;
}

QByteArray PieceFetch::takeBytes()
{
    return std::exchange(m_bytes, QByteArray());
}

void PieceFetch::onWake()
{
    if (!running() || m_transfer->stillExecuting())
        return;
    if (!m_headJudged) {
        m_headJudged = true;
        const Outcome head = judgeHead();
        if (head != Outcome::Running)
            return end(head);
    }
    takeBody();
}

PieceFetch::Outcome PieceFetch::judgeHead() const
{
    const int status = m_transfer->status();
    if (status == 0)
        return Outcome::Busy;  // refused, reset or silent before any answer
    if (status == 429 || status == 503)
        return Outcome::Busy;
    if (status != 200 && status != 206)
        return Outcome::Wrong;
    // Whatever else it says, an answer of another version means the file changed.
    if (ValidatorOf(m_transfer->header("ETag"), m_transfer->header("Last-Modified")) != m_source.validator)
        return Outcome::Changed;
    if (status == 200)
        return Outcome::Busy;  // the whole file again: this server will not serve pieces to us
    const QByteArray asked = "bytes " + QByteArray::number(m_from) + '-' + QByteArray::number(m_to) + '/'
        + QByteArray::number(m_source.total);
    return m_transfer->header("Content-Range").trimmed() == asked ? Outcome::Running : Outcome::Wrong;
}

void PieceFetch::takeBody()
{
    const qint64 length = m_to - m_from + 1;
    while (m_transfer->bufferedBytes() > 0) {
        const QByteArrayView part = m_transfer->peek(BodyBuffer::kMaxPeek);
        if (m_bytes.size() + part.size() > length)
            return end(Outcome::Wrong);  // more than the range holds
        m_bytes.append(part);
        m_transfer->consume(part.size());
    }
    if (!m_transfer->bodyEnded())
        return;
    end(m_bytes.size() == length && m_transfer->complete() ? Outcome::Whole : Outcome::Wrong);
}

void PieceFetch::end(Outcome outcome)
{
    m_retryAfterMs = outcome == Outcome::Busy ? RetryAfterMs(m_transfer->header("Retry-After")) : -1;
    m_transfer->cancel();
    m_asked = false;
    m_outcome = outcome;
    if (outcome != Outcome::Whole)
        m_bytes.clear();
    emit ended();
}

} // namespace velmora::net
