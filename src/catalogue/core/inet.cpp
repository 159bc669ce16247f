#include "catalogue/core/inet.h"

#include "catalogue/core/textdecode.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

#include <algorithm>

namespace velmora {

namespace {

// What the network layer may hold of a body before we take it: together
// with kMaxFetchBytes this bounds a fetch's memory however much a server sends.
constexpr qint64 kReadBuffer = 1024 * 1024;
constexpr int kMaxRedirects = 10;

bool IsWebScheme(const QString &scheme)
{
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

// The errors the network layer reports for an answer whose status is not
// 2xx: the answer itself came whole.
bool IsStatusError(QNetworkReply::NetworkError error)
{
    return (error >= QNetworkReply::ContentAccessDenied && error <= QNetworkReply::UnknownContentError)
        || (error >= QNetworkReply::InternalServerError && error <= QNetworkReply::UnknownServerError);
}

QString ServerOf(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    return scheme + QLatin1String("://") + url.host().toLower() + QLatin1Char(':')
        + QString::number(url.port(scheme == QLatin1String("https") ? 443 : 80));
}

} // namespace

QString FetchResult::text() const
{
    return answered() && !body.isEmpty() ? DecodeFetchedText(body, contentType) : QString();
}

Inet::Inet(QObject *parent) : QObject(parent), m_manager(new QNetworkAccessManager(this)) {}

Inet::~Inet()
{
    // Nothing may call back into a half-destroyed object: the replies are
    // aborted silently and go with the manager.
    for (auto &entry : m_jobs) {
        if (QNetworkReply *reply = entry.second.reply) {
            reply->disconnect(this);
            reply->abort();
        }
    }
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
    if (!address.isValid() || scheme.isEmpty() || (IsWebScheme(scheme) && address.host().isEmpty())) {
        job.result.error = QStringLiteral("not a usable address");
        job.done = true;
    } else if (!IsWebScheme(scheme)) {
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
    QNetworkRequest request{QUrl(job.url)};
    request.setTransferTimeout(m_timeoutMs);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::UserVerifiedRedirectPolicy);
    request.setMaximumRedirectsAllowed(kMaxRedirects);
    QNetworkReply *reply = m_manager->get(request);
    reply->setReadBufferSize(kReadBuffer);
    job.reply = reply;
    ++m_running;
    ++m_perServer[job.server];
    connect(reply, &QNetworkReply::readyRead, this, [this, ticket] { ReadBody(ticket); });
    connect(reply, &QNetworkReply::redirected, this, [this, ticket](const QUrl &to) { Redirected(ticket, to); });
    connect(reply, &QNetworkReply::finished, this, [this, ticket] { Finished(ticket); });
}

void Inet::ReadBody(Ticket ticket)
{
    const auto it = m_jobs.find(ticket);
    if (it == m_jobs.end() || !it->second.reply || it->second.stopped != FetchStatus::Ok)
        return;
    if (AppendBody(it->second, it->second.reply))
        Stop(ticket, FetchStatus::Cut);
}

// Takes what has arrived. True when the body has run past kMaxFetchBytes:
// it is cut there and the rest is not to be fetched.
bool Inet::AppendBody(Job &job, QNetworkReply *reply)
{
    job.result.body += reply->readAll();
    if (job.result.body.size() <= kMaxFetchBytes)
        return false;
    job.result.body.truncate(kMaxFetchBytes);
    return true;
}

// A redirect is followed only to http or https, and never from https down to http.
void Inet::Redirected(Ticket ticket, const QUrl &target)
{
    const auto it = m_jobs.find(ticket);
    if (it == m_jobs.end() || !it->second.reply)
        return;
    Job &job = it->second;
    const QString from = job.reply->url().scheme().toLower();
    const QString to = target.scheme().toLower();
    if (!IsWebScheme(to) || (from == QLatin1String("https") && to == QLatin1String("http"))) {
        job.result.error = QStringLiteral("redirect to ") + target.toDisplayString() + QStringLiteral(" refused");
        Stop(ticket, FetchStatus::Refused);
        return;
    }
    emit job.reply->redirectAllowed();
}

void Inet::Finished(Ticket ticket)
{
    const auto it = m_jobs.find(ticket);
    if (it == m_jobs.end() || !it->second.reply)
        return;
    Job &job = it->second;
    QNetworkReply *reply = job.reply;
    job.reply = nullptr;
    --m_running;
    --m_perServer[job.server];
    if (m_perServer.value(job.server) <= 0)
        m_perServer.remove(job.server);

    if (job.stopped == FetchStatus::Ok && AppendBody(job, reply))
        job.stopped = FetchStatus::Cut;
    FetchResult &r = job.result;
    r.httpStatus = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    r.contentType = reply->header(QNetworkRequest::ContentTypeHeader).toByteArray();
    if (job.stopped != FetchStatus::Ok) {
        r.status = job.stopped;
    } else if (r.httpStatus > 0 && (reply->error() == QNetworkReply::NoError || IsStatusError(reply->error()))) {
        r.status = r.httpStatus >= 200 && r.httpStatus < 300 ? FetchStatus::Ok : FetchStatus::ErrorAnswer;
    } else {
        // The network layer turns down a redirect to another scheme or down
        // to http by itself.
        const bool refused = reply->error() == QNetworkReply::ProtocolUnknownError
            || reply->error() == QNetworkReply::InsecureRedirectError;
        r.status = refused ? FetchStatus::Refused : FetchStatus::Failed;
        r.error = reply->errorString();
    }
    if (!r.answered())
        r.body.clear();
    reply->deleteLater();
    job.done = true;
    emit fetchDone(ticket);
    StartWaiting();
}

// Aborts a running fetch; Finished records why, at once.
void Inet::Stop(Ticket ticket, FetchStatus why)
{
    const auto it = m_jobs.find(ticket);
    if (it == m_jobs.end() || !it->second.reply)
        return;
    it->second.stopped = why;
    QNetworkReply *reply = it->second.reply;
    reply->abort();
    if (it->second.reply == reply) {  // its finished signal has not come yet: it is not waited for
        reply->disconnect(this);
        Finished(ticket);
    }
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
        if (entry.second.reply)
            running << entry.first;
    for (const Ticket t : running)
        Stop(t, FetchStatus::Cancelled);
    for (const Ticket t : line)
        emit fetchDone(t);
}

} // namespace velmora
