// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "download/core/probe.h"

#include "download/core/filename.h"

#include "net/proxy.h"

#include <QNetworkProxy>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTcpSocket>
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
    m_connectTimer.setSingleShot(true);
    m_answerTimer.setSingleShot(true);
    connect(&m_connectTimer, &QTimer::timeout, this, [this] {
        fail(net::NetFailure::TimedOut, QStringLiteral("no connection in time"));
    });
    connect(&m_answerTimer, &QTimer::timeout, this, [this] {
        fail(net::NetFailure::TimedOut, QStringLiteral("no answer in time"));
    });
}

Probe::~Probe()
{
    close();
}

namespace {

net::CertificateProblem CertificateProblemOf(const QList<QSslError> &errors)
{
    using net::CertificateProblem;
    for (const QSslError &e : errors) {
        switch (e.error()) {
        case QSslError::SelfSignedCertificate:
        case QSslError::SelfSignedCertificateInChain:
        case QSslError::UnableToGetLocalIssuerCertificate:
        case QSslError::UnableToGetIssuerCertificate:
        case QSslError::UnableToVerifyFirstCertificate:
        case QSslError::CertificateUntrusted:
            return CertificateProblem::Untrusted;
        case QSslError::CertificateExpired:
        case QSslError::CertificateNotYetValid:
            return CertificateProblem::Expired;
        case QSslError::HostNameMismatch:
            return CertificateProblem::WrongName;
        default:
            break;
        }
    }
    return errors.isEmpty() ? CertificateProblem::None : CertificateProblem::Other;
}

net::NetFailure FailureOf(QAbstractSocket::SocketError error)
{
    switch (error) {
    case QAbstractSocket::HostNotFoundError:
        return net::NetFailure::CannotResolve;
    case QAbstractSocket::ProxyAuthenticationRequiredError:
    case QAbstractSocket::ProxyConnectionRefusedError:
    case QAbstractSocket::ProxyConnectionClosedError:
    case QAbstractSocket::ProxyConnectionTimeoutError:
    case QAbstractSocket::ProxyNotFoundError:
    case QAbstractSocket::ProxyProtocolError:
        return net::NetFailure::Proxy;
    case QAbstractSocket::SocketTimeoutError:
        return net::NetFailure::TimedOut;
    default:
        return net::NetFailure::Unreachable;
    }
}

QNetworkProxy QtProxyOf(const net::ProxyChoice &choice)
{
    using Kind = net::ProxyChoice::Kind;
    if (choice.kind == Kind::None)
        return QNetworkProxy(QNetworkProxy::NoProxy);
    const auto type = choice.kind == Kind::Http ? QNetworkProxy::HttpProxy : QNetworkProxy::Socks5Proxy;
    QNetworkProxy proxy(type, choice.host, choice.port, choice.userName, choice.password);
    // socks5: the name is resolved here and the proxy is given the address.
    if (choice.kind == Kind::Socks5)
        proxy.setCapabilities(proxy.capabilities() & ~QNetworkProxy::HostNameLookupCapability);
    return proxy;
}

} // namespace

QTcpSocket *Probe::makeSocket(bool https, const QString &host, quint16 port, Route *route)
{
    QUrl target;
    target.setScheme(https ? QStringLiteral("https") : QStringLiteral("http"));
    target.setHost(host);
    target.setPort(port);
    const net::ProxyChoice proxy = net::ProxyFor(target);
    // Plain http through an HTTP proxy: the probe's request already has the
    // absolute form a proxy takes, so it goes to the proxy as it is.
    const bool viaHttpProxy = !https && proxy.kind == net::ProxyChoice::Kind::Http;
    *route = viaHttpProxy ? Route{proxy.host, proxy.port} : Route{host, port};
    QTcpSocket *socket = https ? new QSslSocket(this) : new QTcpSocket(this);
    socket->setProxy(viaHttpProxy ? QNetworkProxy(QNetworkProxy::NoProxy) : QtProxyOf(proxy));
    return socket;
}

void Probe::start(bool https, const QString &host, quint16 port, const QByteArray &request,
                  const net::NetSettings &limits)
{
    close();
    m_failure = net::NetFailure::None;
    m_certificate = net::CertificateProblem::None;
    m_error.clear();
    m_request = request;
    QString name = host;
    if (name.startsWith(QLatin1Char('[')) && name.endsWith(QLatin1Char(']')))
        name = name.mid(1, name.size() - 2);
    const QString ace = QString::fromLatin1(QUrl::toAce(name));
    if (!ace.isEmpty())
        name = ace;
    Route route;
    m_socket = makeSocket(https, name, port, &route);
    const auto ready = [this] {
        m_connectTimer.stop();
        m_socket->write(m_request);
        emit wake();
    };
    if (auto *ssl = qobject_cast<QSslSocket *>(m_socket)) {
        if (!limits.caFile.isEmpty()) {
            QSslConfiguration config = ssl->sslConfiguration();
            config.setCaCertificates(QSslCertificate::fromPath(limits.caFile));
            ssl->setSslConfiguration(config);
        }
        connect(ssl, &QSslSocket::encrypted, this, ready);
        connect(ssl, &QSslSocket::sslErrors, this, [this](const QList<QSslError> &errors) {
            m_certificate = CertificateProblemOf(errors);
        });
    } else {
        connect(m_socket, &QTcpSocket::connected, this, ready);
    }
    connect(m_socket, &QTcpSocket::readyRead, this, [this] {
        QTcpSocket *s = m_socket;
        m_answerTimer.stop();
        // The head in UTF-8, or else in the Chinese code page, so that a
        // server's GBK file name in Content-Disposition reaches the Save-As
        // dialog whole; body bytes that came with it do not decide that.
        const QByteArray bytes = s->readAll();
        const qsizetype headEnd = bytes.indexOf("\r\n\r\n");
        const qsizetype cut = headEnd < 0 ? bytes.size() : headEnd + 4;
        const QString text = DecodeNameBytes(bytes.left(cut)) + QString::fromUtf8(bytes.mid(cut));
        // Only the first arrival matters: the connection is closed after it.
        disconnect(s, nullptr, this, nullptr);
        emit dataArrived(text);
        emit wake();
    });
    connect(m_socket, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
        const bool certificate = m_certificate != net::CertificateProblem::None;
        fail(certificate ? net::NetFailure::Certificate : FailureOf(error), m_socket->errorString());
    });
    m_connectTimer.start(limits.connectMs);
    m_answerTimer.start(limits.headMs);
    // The name checked against the certificate (and sent for SNI) is the server's.
    if (auto *ssl = qobject_cast<QSslSocket *>(m_socket))
        ssl->connectToHostEncrypted(name, port);
    else
        m_socket->connectToHost(route.host, route.port);
}

void Probe::fail(net::NetFailure why, const QString &error)
{
    if (!m_socket || failed())
        return;
    m_failure = why;
    m_error = error;
    m_connectTimer.stop();
    m_answerTimer.stop();
    emit wake();
}

void Probe::close()
{
    m_connectTimer.stop();
    m_answerTimer.stop();
    if (!m_socket)
        return;
    QTcpSocket *s = m_socket;
    m_socket = nullptr;
    disconnect(s, nullptr, this, nullptr);
    s->abort();
    s->deleteLater();
}

} // namespace velmora
