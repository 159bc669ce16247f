// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "catalogue/core/inet.h"

#include "catalogue/core/textdecode.h"

#include "net/bodybuffer.h"
#include "net/curlmulti.h"
#include "net/route.h"
#include "net/transfer.h"

#include <QEventLoop>
#include <QUrl>

#include <algorithm>

namespace velmora {

namespace {

QString ServerOf(const QUrl &url)
{
    return url.scheme().toLower() + QLatin1String("://") + url.host().toLower() + QLatin1Char(':')
        + QString::number(net::PortOf(url));
}

// A limit of 0 means none: a day stands for never.
int LimitMs(int ms)
{
    return ms > 0 ? ms : 24 * 3600 * 1000;
}

} // namespace

QString FetchResult::text() const
{
    return answered() && !body.isEmpty() ? DecodeFetchedText(body, contentType) : QString();
}

Inet::Inet(QObject *parent) : QObject(parent), m_multi(new net::CurlMulti(this)) {}

Inet::~Inet()
{
    // Nothing may call back into a half-destroyed object.
    for (auto &entry : m_jobs)
        delete entry.second.transfer;
}

FetchResult Inet::Fetch(const QString &url)
{
    return Wait(Start(url));
}

QString Inet::OpenURL(const QString &url)
{
    return Fetch(url).text();
}

Inet::Ticket Inet::Start(const QString &url)
{
    const Ticket ticket = ++m_lastTicket;
    Job &job = m_jobs[ticket];
    job.url = url;
    const QUrl address(url);
    const QString scheme = address.scheme().toLower();
    if (!address.isValid() || scheme.isEmpty() || (net::IsWebScheme(address) && address.host().isEmpty())) {
        job.result.error = QStringLiteral("not a usable address");
        job.done = true;
    } else if (!net::IsWebScheme(address)) {
        job.result.status = FetchStatus::Refused;
        job.result.error = QStringLiteral("only http and https are fetched");
        job.done = true;
    } else {
        job.server = ServerOf(address);
        m_line.push_back(ticket);
        StartWaiting();
    }
    return ticket;
}

// Launches the fetches in line, oldest first, as far as the limits allow; a
// fetch to a busy server lets later ones to other servers go ahead.
void Inet::StartWaiting()
{
    for (auto it = m_line.begin(); it != m_line.end() && m_running < kFetchesInAll;) {
        Job &job = m_jobs.at(*it);
        if (m_perServer.value(job.server) >= kFetchesPerHost) {
            ++it;
            continue;
        }
        const Ticket ticket = *it;
        it = m_line.erase(it);
        Launch(ticket, job);
    }
}

void Inet::Launch(Ticket ticket, Job &job)
{
    auto *transfer = new net::Transfer(m_multi);
    net::NetSettings settings = m_settings;
    settings.headMs = settings.idleMs = LimitMs(m_timeoutMs);
    settings.connectMs = qMin(settings.connectMs, settings.headMs);
    transfer->setSettings(settings);
    job.transfer = transfer;
    ++m_running;
    ++m_perServer[job.server];
    connect(transfer, &net::Transfer::wake, this, [this, ticket] { ReadBody(ticket); });
    // An address the layer cannot ask for ends the fetch once the line has been walked.
    if (!transfer->execute(job.url, QByteArray(), false))
        QMetaObject::invokeMethod(this, [this, ticket] { Finished(ticket); }, Qt::QueuedConnection);
}

void Inet::ReadBody(Ticket ticket)
{
    const auto it = m_jobs.find(ticket);
    if (it == m_jobs.end() || !it->second.transfer || it->second.stopped != FetchStatus::Ok)
        return;
    Job &job = it->second;
    if (AppendBody(job)) {
        Stop(ticket, FetchStatus::Cut);
        return;
    }
    if (job.transfer->bodyEnded())
        Finished(ticket);
}

namespace {

// The room a body gets at once: the length its answer names, never more than
// is read of it. A server's word is not trusted further than that.
qsizetype RoomForBody(const QByteArray &contentLength)
{
    bool known = false;
    const qint64 length = contentLength.trimmed().toLongLong(&known);
    return known && length > 0 ? qsizetype(qMin(length, kMaxFetchBytes)) : 0;
}

} // namespace

// Takes what has arrived, straight from the transfer's buffer into the body,
// which has its whole room from the start when the answer named its length.
// True when the body has run past kMaxFetchBytes: it is cut there and the
// rest is not to be fetched.
bool Inet::AppendBody(Job &job)
{
    net::Transfer *t = job.transfer;
    if (t->status() == 0)
        return false;
    QByteArray &body = job.result.body;
    if (job.reserved < 0) {
        job.reserved = RoomForBody(t->header("Content-Length"));
        body.reserve(job.reserved);
    }
    for (QByteArrayView part = t->peek(net::BodyBuffer::kMaxPeek); !part.isEmpty();
         part = t->peek(net::BodyBuffer::kMaxPeek)) {
        const qsizetype room = kMaxFetchBytes - body.size();
        if (part.size() > room) {
            body.append(part.first(room));
            return true;
        }
        body.append(part);
        t->consume(part.size());
    }
    return false;
}

void Inet::Finished(Ticket ticket)
{
    const auto it = m_jobs.find(ticket);
    if (it == m_jobs.end() || !it->second.transfer)
        return;
    Job &job = it->second;
    net::Transfer *transfer = job.transfer;
    job.transfer = nullptr;
    --m_running;
    --m_perServer[job.server];
    if (m_perServer.value(job.server) <= 0)
        m_perServer.remove(job.server);

    FetchResult &r = job.result;
    r.httpStatus = transfer->status();
    r.contentType = transfer->header("Content-Type");
    const net::NetFailure failure = transfer->failure();
    if (job.stopped != FetchStatus::Ok) {
        r.status = job.stopped;
    } else if (r.httpStatus > 0 && transfer->complete()) {
        r.status = r.httpStatus >= 200 && r.httpStatus < 300 ? FetchStatus::Ok : FetchStatus::ErrorAnswer;
    } else {
        // No whole answer. A redirect to another scheme, or from https down to http, is refused.
        const bool refused = failure == net::NetFailure::Refused || failure == net::NetFailure::Downgrade;
        r.status = refused ? FetchStatus::Refused : FetchStatus::Failed;
        r.error = transfer->errorString();
    }
    if (!r.answered())
        r.body.clear();
    else if (r.body.size() < job.reserved)
        r.body.squeeze();  // shorter than its answer said: the rest of its room goes back
    transfer->disconnect(this);
    transfer->cancel();
    transfer->deleteLater();
    job.done = true;
    emit fetchDone(ticket);
    StartWaiting();
}

// Aborts a running fetch; Finished records why, at once.
void Inet::Stop(Ticket ticket, FetchStatus why)
{
    const auto it = m_jobs.find(ticket);
    if (it == m_jobs.end() || !it->second.transfer)
        return;
    it->second.stopped = why;
    it->second.transfer->cancel();
    Finished(ticket);
}

FetchResult Inet::Wait(Ticket ticket)
{
    auto it = m_jobs.find(ticket);
    if (it != m_jobs.end() && !it->second.done) {
        QEventLoop loop;
        connect(this, &Inet::fetchDone, &loop, [&loop, ticket](Ticket done) {
            if (done == ticket)
                loop.quit();
        });
        loop.exec();
        it = m_jobs.find(ticket);
    }
    FetchResult result;
    result.status = FetchStatus::Cancelled;
    if (it != m_jobs.end()) {
        result = std::move(it->second.result);
        m_jobs.erase(it);
    }
    return result;
}

void Inet::Drop(Ticket ticket)
{
    const auto it = m_jobs.find(ticket);
    if (it == m_jobs.end())
        return;
    m_line.erase(std::remove(m_line.begin(), m_line.end(), ticket), m_line.end());
    Stop(ticket, FetchStatus::Cancelled);
    m_jobs.erase(ticket);
    emit fetchDone(ticket);  // a Wait on it returns Cancelled
}

bool Inet::StillExecuting() const
{
    return m_running > 0 || !m_line.empty();
}

void Inet::Cancel()
{
    // The line first, so that no stopped fetch makes room for a waiting one.
    std::deque<Ticket> line;
    line.swap(m_line);
    for (const Ticket t : line) {
        Job &job = m_jobs.at(t);
        job.result.status = FetchStatus::Cancelled;
        job.done = true;
    }
    QList<Ticket> running;
    for (const auto &entry : m_jobs)
        if (entry.second.transfer)
            running << entry.first;
    for (const Ticket t : running)
        Stop(t, FetchStatus::Cancelled);
    for (const Ticket t : line)
        emit fetchDone(t);
}

} // namespace velmora
