// SPDX-FileCopyrightText: 2026 Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Loopback proxies for the tests: an HTTP proxy (absolute-form requests
// forwarded, CONNECT tunnelled) and a SOCKS5 proxy. Each logs what the
// client asked of it and runs on a thread of its own, like HttpServer.
#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QString>

#include <memory>

class QThread;

namespace velmora::httpd {

struct ProxyLog
{
    qint64 connectionId = 0;       // 1, 2, ... in the order the proxy accepted them
    bool tunnel = false;           // CONNECT (HTTP) or a SOCKS5 connect: bytes relayed unseen
    QByteArray method;             // HTTP request method; "CONNECT" for SOCKS5
    QByteArray target;             // HTTP request target as written; SOCKS5 "host:port"
    QByteArray proxyAuthorization; // HTTP: the Proxy-Authorization header ("" when absent)
    QByteArray authorization;      // HTTP: the Authorization header the proxy could read
    QByteArray user;               // SOCKS5: user name of the user/password step
    QByteArray password;           // SOCKS5: its password
    bool byName = false;           // SOCKS5: the client sent a host name (socks5h), not an address
    int status = 0;                // HTTP: the proxy's own answer (200 = tunnel open, 403, 407,
                                   // 400, 502), 0 when forwarded; SOCKS5: the reply code (0 = granted)
};

class ProxyBase
{
public:
    virtual ~ProxyBase();
    ProxyBase(const ProxyBase &) = delete;
    ProxyBase &operator=(const ProxyBase &) = delete;

    // Listens on address:port (0 = any free port). Returns false when it cannot.
    bool start(quint16 port = 0, const QHostAddress &address = QHostAddress::LocalHost);
    void stop();
    quint16 port() const { return m_port; }
    QString hostPort() const;  // "127.0.0.1:port"

    // From the next start() on, clients reach the proxy over TLS with this
    // certificate and key (PEM files); empty names: plain TCP. False when
    // they cannot be read.
    bool setTls(const QString &certificateFile, const QString &keyFile);

    // Require this user and password (empty user = none asked for).
    void setCredentials(const QByteArray &user, const QByteArray &password);
    // Connections the client asks for on port `asked` go to port `actual`
    // of the same host, so a test server can stand in for port 443 or 80.
    void mapPort(quint16 asked, quint16 actual);

    QList<ProxyLog> requests() const;
    void clearRequests();
    qint64 connectionCount() const;  // connections accepted so far
    // Blocks until the log holds at least count requests, at most timeoutMs.
    bool waitForRequestCount(qsizetype count, int timeoutMs) const;

    struct Shared;  // state shared with the proxy's thread

protected:
    enum class Protocol { Http, Socks5 };
    explicit ProxyBase(Protocol protocol);
    std::shared_ptr<Shared> m_shared;

private:
    Protocol m_protocol;
    QThread *m_thread = nullptr;
    quint16 m_port = 0;
};

// Forwards "GET http://host:port/path HTTP/1.1" to host:port (one request
// per connection, the answer relayed until the server closes) and opens a
// tunnel for "CONNECT host:port". Credentials are asked for with 407.
class HttpProxy : public ProxyBase
{
public:
    HttpProxy();
    QString url() const;  // "http://127.0.0.1:port", "https://..." over TLS
    // Refuse CONNECT (403) to any port but 443, as Squid does by default.
    void setConnectOnlyTo443(bool only);
};

// SOCKS5 (RFC 1928) CONNECT with no authentication or, once credentials are
// set, user/password authentication (RFC 1929) only.
class Socks5Proxy : public ProxyBase
{
public:
    Socks5Proxy();
    // "socks5h://127.0.0.1:port" (the proxy resolves names) or "socks5://...".
    QString url(bool proxyResolves = true) const;
};

} // namespace velmora::httpd
