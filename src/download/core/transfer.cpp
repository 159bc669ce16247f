#include "download/core/transfer.h"

#include <QAuthenticator>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace velmora {

namespace {
// How much body the client may hold before it stops reading the socket.
constexpr qint64 kBodyBuffer = 256 * 1024;
// For the length request: as little as the client allows.
constexpr qint64 kHeadBuffer = 1024;
// Redirects followed for one request before its answer is taken as it is.
constexpr int kMaxHops = 10;
}

Transfer::Transfer(QObject *parent) : QObject(parent), m_nam(new QNetworkAccessManager(this))
{
    connect(m_nam, &QNetworkAccessManager::authenticationRequired, this, &Transfer::onAuthentication);
}

Transfer::~Transfer()
{
    cancel();
}

void Transfer::setCredentials(const QString &userName, const QString &password)
{
    m_userName = userName;
    m_password = password;
}

void Transfer::onAuthentication(QNetworkReply *reply, QAuthenticator *auth)
{
    // Offered once per request, and only when the caller gave a user name;
    // otherwise the 401 comes through as the status.
    if (reply != m_reply || m_authTried || m_userName.isEmpty())
        return;
    m_authTried = true;
    auth->setUser(m_userName);
    auth->setPassword(m_password);
}

bool Transfer::execute(const QString &address, const QByteArray &rangeHeader, bool headersOnly,
                       const QByteArray &ifRange)
{
    cancel();
    m_headersIn = false;
    m_ended = false;
    m_headersOnly = headersOnly;
    m_authTried = false;
    m_headerText.clear();
    m_headers.clear();
    m_error.clear();

    const QUrl url(address, QUrl::TolerantMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.isRelative() || url.host().isEmpty()
        || (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
        m_error = QStringLiteral("无效的地址");
        m_ended = true;
        return false;
    }

    m_rangeHeader = rangeHeader;
    m_ifRange = ifRange;
    m_hops = 0;
    startRequest(url);
    return true;
}

void Transfer::startRequest(const QUrl &url)
{
    QNetworkRequest request(url);
    request.setRawHeader("Accept", "*/*");
    // Byte ranges are counted on the bytes as stored: no transfer coding.
    request.setRawHeader("Accept-Encoding", "identity");
    if (!m_rangeHeader.isEmpty())
        request.setRawHeader("Range", m_rangeHeader);
    if (!m_ifRange.isEmpty())
        request.setRawHeader("If-Range", m_ifRange);
    request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    // Redirects are followed here, each hop with a reply of its own: the
    // client's own following merges the headers of every hop into one reply
    // (a 302's "Content-Length: 0" would then precede the file's length).
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);

    QNetworkReply *reply = m_nam->get(request);
    reply->setReadBufferSize(m_headersOnly ? kHeadBuffer : kBodyBuffer);
    m_reply = reply;

    connect(reply, &QNetworkReply::metaDataChanged, this, [this, reply] {
        if (reply != m_reply)
            return;
        if (followRedirect(reply))
            return;
        takeHeaders(reply);
    });
    connect(reply, &QIODevice::readyRead, this, [this] { emit wake(); });
    connect(reply, &QNetworkReply::finished, this, [this, reply] {
        if (reply != m_reply)
            return;
        if (!m_headersIn && followRedirect(reply))
            return;
        if (reply->error() != QNetworkReply::NoError && m_error.isEmpty())
            m_error = reply->errorString();
        if (!m_headersIn)
            takeHeaders(reply);
        if (!m_reply)
            return;  // a headers-only request, already done with
        m_ended = true;
        emit wake();
    });
}

bool Transfer::followRedirect(QNetworkReply *reply)
{
    const int code = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (code < 300 || code >= 400 || code == 304 || !reply->hasRawHeader("Location") || m_hops >= kMaxHops)
        return false;
    const QUrl next = reply->url().resolved(QUrl::fromEncoded(reply->rawHeader("Location")));
    const QString scheme = next.scheme().toLower();
    if (!next.isValid() || next.host().isEmpty() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
        return false;  // a redirect nobody can follow ends the request as it is
    ++m_hops;
    m_reply = nullptr;
    disconnect(reply, nullptr, this, nullptr);
    reply->abort();
    reply->deleteLater();
    startRequest(next);
    return true;
}

void Transfer::takeHeaders(QNetworkReply *reply)
{
    const QVariant code = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!code.isValid())
        return;
    m_headersIn = true;
    m_headers = reply->rawHeaderPairs();
    QString text = QStringLiteral("HTTP/1.1 ") + QString::number(code.toInt()) + QLatin1Char(' ')
        + QString::fromLatin1(reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toByteArray())
        + QStringLiteral("\r\n");
    for (const auto &h : m_headers)
        text += QString::fromLatin1(h.first) + QStringLiteral(": ") + QString::fromLatin1(h.second) + QStringLiteral("\r\n");
    m_headerText = text;
    if (m_headersOnly) {
        // The length is all this request is for: stop before the body.
        m_ended = true;
        disconnect(reply, nullptr, this, nullptr);
        reply->abort();
        reply->deleteLater();
        m_reply = nullptr;
    }
    emit wake();
}

bool Transfer::stillExecuting() const
{
    return !m_ended && !m_headersIn;
}

QByteArray Transfer::header(const QByteArray &name) const
{
    for (const auto &h : m_headers)
        if (h.first.compare(name, Qt::CaseInsensitive) == 0)
            return h.second;
    return {};
}

QString Transfer::headerText() const
{
    return m_headerText;
}

qint64 Transfer::bufferedBytes() const
{
    return m_reply ? m_reply->bytesAvailable() : 0;
}

bool Transfer::chunkReady(qint64 size) const
{
    return m_ended || bufferedBytes() >= size;
}

QByteArray Transfer::getChunk(qint64 size)
{
    if (!m_reply)
        return {};
    return m_reply->read(size);
}

void Transfer::cancel()
{
    if (!m_reply)
        return;
    QNetworkReply *reply = m_reply;
    m_reply = nullptr;
    disconnect(reply, nullptr, this, nullptr);
    if (reply->isRunning())
        reply->abort();
    reply->deleteLater();
}

} // namespace velmora
