// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "download/core/probe.h"

#include "net/proxy.h"

#include <QUrl>

namespace velmora {

QString GetDataHead(const QString &DATA, const QString &ToRetrieve)
{
    if (DATA.isEmpty() || ToRetrieve.isEmpty())
        return QString();
    const int at = DATA.indexOf(ToRetrieve, 0, Qt::CaseInsensitive);
    if (at < 0)
        return QString();
    // The one character after the key (normally a space) is skipped.
    const int start = at + ToRetrieve.size() + 1;
    if (start >= DATA.size())
        return QString();
    const int end = DATA.indexOf(QStringLiteral("\r\n"), start);
    return end < 0 ? DATA.mid(start) : DATA.mid(start, end - start);
}

QString StatusOf(const QString &text)
{
    return text.mid(9, 3);
}

QByteArray EncodeForRequestLine(const QString &text)
{
    static const char hex[] = "0123456789ABCDEF";
    const QByteArray utf8 = text.toUtf8();
    QByteArray out;
    out.reserve(utf8.size());
    for (char ch : utf8) {
        const auto c = static_cast<unsigned char>(ch);
        if (c <= 0x20 || c >= 0x7F) {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += ch;
        }
    }
    return out;
}

bool HoldsLineBreak(const QString &text)
{
    return text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char('\n'));
}

QString ResolveProbeLocation(const QString &probed, const QString &location)
{
    const QUrl base(probed, QUrl::TolerantMode);
    const QUrl target(location, QUrl::TolerantMode);
    if (!target.isRelative() || !base.isValid() || base.isRelative())
        return location;
    // A Location that is no address at all goes on as the server sent it, so
    // that it fails under its own name, not as an empty address.
    const QUrl resolved = base.resolved(target);
    return resolved.isValid() ? resolved.toString() : location;
}

namespace {

// A host name as the Host line carries it: an international name in its
// ASCII (punycode) form, anything else as an address may carry it.
QByteArray HostForHeader(const QString &host)
{
    const QByteArray ace = QUrl::toAce(host);
    return ace.isEmpty() ? EncodeForRequestLine(host) : ace;
}

} // namespace

QByteArray BuildProbeRequest(const QString &strRequestURL, const QString &strServer)
{
    return "GET " + EncodeForRequestLine(strRequestURL) + " HTTP/1.1\r\n"
         + "Host: " + HostForHeader(strServer) + "\r\n"
         + "Accept: *.*, */*\r\n"
         + "User-Agent: Mozilla/4.0 (compatible; MSIE 5.00; Windows 98)\r\n"
         + "\r\n";
}

Probe::Probe(QObject *parent) : QObject(parent)
{
    m_answerTimer.setSingleShot(true);
    connect(&m_answerTimer, &QTimer::timeout, this, [this] {
        fail(net::NetFailure::TimedOut, QStringLiteral("no answer in time"));
    });
    connect(&m_connection, &net::Connection::opened, this, [this] {
        m_connection.send(m_request);
        emit wake();
    });
    connect(&m_connection, &net::Connection::readyRead, this, &Probe::onArrival);
    connect(&m_connection, &net::Connection::failed, this, [this] {
        m_certificate = m_connection.certificateProblem();
        fail(m_connection.failure(), m_connection.errorString());
    });
}

Probe::~Probe()
{
    close();
}

namespace {

// The probe's request with the proxy's credentials added for the proxy alone
// (it takes them off before the request goes on); the rest byte for byte.
QByteArray WithProxyCredentials(const QByteArray &request, const net::ProxyChoice &proxy)
{
    if (proxy.userName.isEmpty() || !request.endsWith("\r\n\r\n"))
        return request;
    const QByteArray pair = (proxy.userName + QLatin1Char(':') + proxy.password).toUtf8();
    return request.chopped(2) + "Proxy-Authorization: Basic " + pair.toBase64() + "\r\n\r\n";
}

} // namespace

void Probe::start(bool https, const QString &host, quint16 port, const QByteArray &request,
                  const net::NetSettings &limits)
{
    close();
    m_failure = net::NetFailure::None;
    m_certificate = net::CertificateProblem::None;
    m_error.clear();
    QString name = host;
    if (name.startsWith(QLatin1Char('[')) && name.endsWith(QLatin1Char(']')))
        name = name.mid(1, name.size() - 2);
    QUrl target;
    target.setScheme(https ? QStringLiteral("https") : QStringLiteral("http"));
    target.setHost(name);
    target.setPort(port);
    const net::Endpoint endpoint = net::Endpoint::of(target);
    // Plain http through an HTTP proxy: the probe's request already has the
    // absolute form a proxy takes, so it goes to the proxy as it is.
    m_proxyTakesRequest = endpoint.proxyTakesRequest();
    m_request = m_proxyTakesRequest ? WithProxyCredentials(request, endpoint.proxy) : request;
    m_running = true;
    m_answerTimer.start(limits.headMs);
    m_connection.open(endpoint, limits);
}

void Probe::onArrival()
{
    const QString text = QString::fromUtf8(m_connection.readAll());
    if (!m_running || text.isEmpty())
        return;
    m_answerTimer.stop();
    // An answer from the proxy itself, not from the server: it wants other credentials.
    if (m_proxyTakesRequest && StatusOf(text) == QLatin1String("407"))
        return fail(net::NetFailure::ProxyCredentials, QStringLiteral("the proxy refused the credentials"));
    // Only the first arrival matters: the connection is closed after it.
    m_running = false;
    emit dataArrived(text);
    emit wake();
}

void Probe::fail(net::NetFailure why, const QString &error)
{
    if (!m_running || failed())
        return;
    m_failure = why;
    m_error = error;
    m_running = false;
    m_answerTimer.stop();
    m_connection.close();
    emit wake();
}

void Probe::close()
{
    m_answerTimer.stop();
    m_running = false;
    m_connection.close();
}

} // namespace velmora
