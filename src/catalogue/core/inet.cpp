#include "catalogue/core/inet.h"

#include "catalogue/core/textdecode.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

namespace velmora {

Inet::Inet(QObject *parent) : QObject(parent), m_manager(new QNetworkAccessManager(this)) {}

Inet::~Inet()
{
    Cancel();
}

QByteArray Inet::OpenURLBytes(const QString &url, QByteArray *contentType)
{
    if (contentType)
        contentType->clear();
    if (m_reply)
        return {};  // one fetch at a time
    const QUrl address(url);
    if (!address.isValid() || address.scheme().isEmpty())
        return {};

    QNetworkRequest request(address);
    request.setTransferTimeout(m_timeoutMs);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    m_cancelled = false;
    QNetworkReply *reply = m_manager->get(request);
    m_reply = reply;

    QEventLoop loop;
    m_loop = &loop;
    connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    if (!reply->isFinished())
        loop.exec();
    m_loop = nullptr;
    m_reply = nullptr;

    QByteArray body;
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const bool ok = !m_cancelled && reply->isFinished() && reply->error() == QNetworkReply::NoError
        && (address.scheme().compare(QLatin1String("http"), Qt::CaseInsensitive) != 0
            && address.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) != 0
                ? true
                : status >= 200 && status < 300);
    if (ok) {
        body = reply->readAll();
        if (contentType)
            *contentType = reply->header(QNetworkRequest::ContentTypeHeader).toByteArray();
    }
    if (!reply->isFinished())
        reply->abort();
    reply->deleteLater();
    return body;
}

QString Inet::OpenURL(const QString &url)
{
    QByteArray type;
    const QByteArray body = OpenURLBytes(url, &type);
    return body.isEmpty() ? QString() : DecodeFetchedText(body, type);
}

bool Inet::StillExecuting() const
{
    return !m_reply.isNull();
}

void Inet::Cancel()
{
    if (!m_reply)
        return;
    m_cancelled = true;
    if (m_loop)
        m_loop->quit();
    m_reply->abort();
}

} // namespace velmora
