// SPDX-FileCopyrightText: 2026 Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/route.h"

#include <QFile>

namespace velmora::net {

bool IsHttps(const QUrl &url)
{
    return url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0;
}

bool IsWebScheme(const QUrl &url)
{
    return IsHttps(url) || url.scheme().compare(QLatin1String("http"), Qt::CaseInsensitive) == 0;
}

int PortOf(const QUrl &url)
{
    return url.port(IsHttps(url) ? 443 : 80);
}

Endpoint Endpoint::of(const QUrl &url)
{
    Endpoint e;
    e.tls = IsHttps(url);
    e.scheme = e.tls ? QStringLiteral("https") : QStringLiteral("http");
    const QString ace = QString::fromLatin1(QUrl::toAce(url.host()));
    e.host = ace.isEmpty() ? url.host() : ace;
    e.port = quint16(PortOf(url));
    e.proxy = ProxyFor(url);
    return e;
}

bool Endpoint::proxyTakesRequest() const
{
    using Kind = ProxyChoice::Kind;
    return !tls && (proxy.kind == Kind::Http || proxy.kind == Kind::Https);
}

bool Endpoint::sameOrigin(const Endpoint &other) const
{
    return scheme == other.scheme && host.compare(other.host, Qt::CaseInsensitive) == 0 && port == other.port;
}

QByteArray Endpoint::curlUrl() const
{
    const QByteArray name = host.contains(QLatin1Char(':')) ? '[' + host.toLatin1() + ']' : host.toLatin1();
    return scheme.toLatin1() + "://" + name + ':' + QByteArray::number(port) + '/';
}

void ConfigureRoute(CURL *easy, const Endpoint &endpoint, const NetSettings &settings)
{
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, long(settings.connectMs));
    if (!settings.caFile.isEmpty()) {
        const QByteArray file = QFile::encodeName(settings.caFile);
        curl_easy_setopt(easy, CURLOPT_CAINFO, file.constData());
        curl_easy_setopt(easy, CURLOPT_PROXY_CAINFO, file.constData());
    }
    // The proxy is decided by our rules and given explicitly: libcurl reads no environment of its own.
    const ProxyChoice &proxy = endpoint.proxy;
    curl_easy_setopt(easy, CURLOPT_NOPROXY, "");
    curl_easy_setopt(easy, CURLOPT_PROXY, proxy.direct() ? "" : proxy.curlAddress().constData());
    if (!proxy.direct() && !proxy.userName.isEmpty()) {
        curl_easy_setopt(easy, CURLOPT_PROXYUSERNAME, proxy.userName.toUtf8().constData());
        curl_easy_setopt(easy, CURLOPT_PROXYPASSWORD, proxy.password.toUtf8().constData());
    }
}

namespace {

// A proxy that turned our credentials down (or wanted some we did not have).
bool ProxyRefusedCredentials(CURL *easy, CURLcode result)
{
    long connectCode = 0;
    curl_easy_getinfo(easy, CURLINFO_HTTP_CONNECTCODE, &connectCode);
    if (connectCode == 407)
        return true;
    long proxyError = CURLPX_OK;
    curl_easy_getinfo(easy, CURLINFO_PROXY_ERROR, &proxyError);
    return result == CURLE_PROXY && (proxyError == CURLPX_USER_REJECTED || proxyError == CURLPX_NO_AUTH);
}

CertificateProblem CertificateOf(CURL *easy, const QString &error)
{
    // The certificate refused may be an https proxy's: it is checked like a server's.
    long verify = 0;
    curl_easy_getinfo(easy, CURLINFO_PROXY_SSL_VERIFYRESULT, &verify);
    if (verify == 0)
        curl_easy_getinfo(easy, CURLINFO_SSL_VERIFYRESULT, &verify);
    // libcurl checks the name itself, after OpenSSL, and says so in its words.
    const bool name = error.contains(QLatin1String("target host name"));
    return name || verify == 0 ? CertificateProblem::WrongName : CertificateProblemOf(verify);
}

} // namespace

NetFailure FailureOf(CURL *easy, CURLcode result, const QString &error, CertificateProblem *certificate)
{
    if (result == CURLE_PEER_FAILED_VERIFICATION) {
        *certificate = CertificateOf(easy, error);
        return NetFailure::Certificate;
    }
    if (ProxyRefusedCredentials(easy, result))
        return NetFailure::ProxyCredentials;
    switch (result) {
    case CURLE_COULDNT_RESOLVE_HOST: return NetFailure::CannotResolve;
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_PROXY: return NetFailure::Proxy;
    case CURLE_OPERATION_TIMEDOUT: return NetFailure::TimedOut;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CIPHER:
    case CURLE_USE_SSL_FAILED: return NetFailure::NoSecureConnection;
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_UNSUPPORTED_PROTOCOL:
    case CURLE_BAD_CONTENT_ENCODING:
    case CURLE_FILESIZE_EXCEEDED: return NetFailure::BadAnswer;
    default: return NetFailure::Unreachable;
    }
}

} // namespace velmora::net
