// SPDX-FileCopyrightText: 2026 Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "proxies.h"
#include "listener.h"

#include <QHash>
#include <QMutex>
#include <QMutexLocker>
#include <QTcpSocket>
#include <QThread>
#include <QtEndian>
#include <QUrl>
#include <QWaitCondition>

#include <functional>

namespace velmora::httpd {

struct ProxyBase::Shared
{
    mutable QMutex mutex;
    QWaitCondition logChanged;  // with mutex: an entry was added or changed
    QList<ProxyLog> log;
    qint64 firstSerial = 0;     // serial number of log.first(); clearRequests moves it on
    qint64 connections = 0;
    QByteArray user;            // "" = no credentials asked for
    QByteArray password;
    bool connectOnlyTo443 = false;
    QHash<quint16, quint16> portMap;
    QSslConfiguration tls;      // null: clients speak plain TCP to the proxy
};

namespace {

constexpr int kMaxHead = 64 * 1024;  // a request head or greeting longer than this is dropped
constexpr qint64 kRelayBuffer = 1 << 20;  // bytes held per direction while the reader lags

// Moves what `from` has read on to `to`, no more than the slower side can
// take, so a slow reader holds back the fast writer instead of filling memory.
void Pipe(QTcpSocket *from, QTcpSocket *to)
{
    while (from->bytesAvailable() > 0 && to->bytesToWrite() < kRelayBuffer)
        to->write(from->read(kRelayBuffer));
}

// One client of a proxy: reads what the client asks, then relays bytes
// between it and the server it named until either side closes.
class Session : public QObject
{
public:
    Session(QTcpSocket *client, std::shared_ptr<ProxyBase::Shared> shared, qint64 id)
        : m_client(client), m_shared(std::move(shared)), m_id(id)
    {
        m_client->setParent(this);
        m_client->setReadBufferSize(kRelayBuffer);
        connect(m_client, &QTcpSocket::readyRead, this, [this] {
            if (m_upstream && m_relaying) {
                Pipe(m_client, m_upstream);
                return;
            }
            m_in += m_client->readAll();
            if (!m_waiting)
                onInput();
        });
        // The client gone, nothing the server still says can reach it.
        connect(m_client, &QTcpSocket::disconnected, this, &QObject::deleteLater);
        connect(m_client, &QTcpSocket::errorOccurred, this, &QObject::deleteLater);
    }

protected:
    // New bytes in m_in from the client, read before any relay starts.
    virtual void onInput() = 0;

    // Connects to host and port (or the port it is mapped to); connected()
    // or failed() follows. Client bytes wait in m_in meanwhile.
    void connectUpstream(const QString &host, quint16 port, std::function<void()> connected,
                         std::function<void()> failed)
    {
        {
            QMutexLocker lock(&m_shared->mutex);
            port = m_shared->portMap.value(port, port);
        }
        m_waiting = true;
        QTcpSocket *up = new QTcpSocket(this);
        up->setReadBufferSize(kRelayBuffer);
        m_upstream = up;
        connect(up, &QTcpSocket::connected, this, [this, connected] {
            m_waiting = false;
            connected();
        });
        connect(up, &QTcpSocket::errorOccurred, this, [this, up, failed] {
            if (up != m_upstream || !m_waiting)
                return;  // the end of a relay, handled by disconnected
            m_waiting = false;
            failed();
        });
        connect(up, &QTcpSocket::readyRead, this, [this, up] { Pipe(up, m_client); });
        connect(m_client, &QTcpSocket::bytesWritten, up, [this, up] { Pipe(up, m_client); });
        connect(up, &QTcpSocket::bytesWritten, this, [this, up] {
            if (m_relaying)
                Pipe(m_client, up);
        });
        connect(up, &QTcpSocket::disconnected, this, [this, up] {
            m_client->write(up->readAll());
            m_client->disconnectFromHost();  // after what is still buffered for it
        });
        up->connectToHost(host, port);
    }

    // From now on bytes pass both ways unseen, what the client sent ahead first.
    void startRelay()
    {
        m_relaying = true;
        if (!m_in.isEmpty())
            m_upstream->write(m_in);
        m_in.clear();
    }

    void addLog(const ProxyLog &entry)
    {
        QMutexLocker lock(&m_shared->mutex);
        ProxyLog e = entry;
        e.connectionId = m_id;
        m_shared->log.append(e);
        m_serial = m_shared->firstSerial + m_shared->log.size() - 1;
        m_shared->logChanged.wakeAll();
    }

    void setStatus(int status)
    {
        QMutexLocker lock(&m_shared->mutex);
        const qint64 index = m_serial - m_shared->firstSerial;
        if (m_serial >= 0 && index >= 0 && index < m_shared->log.size())
            m_shared->log[index].status = status;
        m_shared->logChanged.wakeAll();
    }

    QTcpSocket *m_client;
    QTcpSocket *m_upstream = nullptr;
    std::shared_ptr<ProxyBase::Shared> m_shared;
    QByteArray m_in;

private:
    qint64 m_id;
    qint64 m_serial = -1;
    bool m_waiting = false;
    bool m_relaying = false;
};

QByteArray HeaderOf(const QByteArray &head, const QByteArray &name)
{
    const QList<QByteArray> lines = head.split('\n');
    for (int i = 1; i < lines.size(); ++i) {
        const int colon = lines[i].indexOf(':');
        if (colon > 0 && lines[i].left(colon).trimmed().compare(name, Qt::CaseInsensitive) == 0)
            return lines[i].mid(colon + 1).trimmed();
    }
    return {};
}

// "host:port", "[v6]:port" → host (without brackets) and port; false when malformed.
bool SplitHostPort(const QByteArray &authority, QString *host, quint16 *port)
{
    const QUrl url(QStringLiteral("//") + QString::fromLatin1(authority));
    if (!url.isValid() || url.host().isEmpty() || url.port() <= 0)
        return false;
    *host = url.host();
    *port = quint16(url.port());
    return true;
}

class HttpSession : public Session
{
public:
    using Session::Session;

private:
    void onInput() override
    {
        while (m_upstream == nullptr) {
            const int end = m_in.indexOf("\r\n\r\n");
            if (end < 0) {
                if (m_in.size() > kMaxHead)
                    m_client->abort();
                return;
            }
            const QByteArray head = m_in.left(end + 4);
            m_in.remove(0, end + 4);
            handle(head);
        }
    }

    void handle(const QByteArray &head)
    {
        const QList<QByteArray> line = head.left(head.indexOf("\r\n")).split(' ');
        ProxyLog entry;
        entry.method = line.value(0);
        entry.target = line.value(1);
        entry.tunnel = entry.method == "CONNECT";
        entry.proxyAuthorization = HeaderOf(head, "Proxy-Authorization");
        entry.authorization = HeaderOf(head, "Authorization");
        addLog(entry);
        m_keepAlive = HeaderOf(head, "Connection").compare("close", Qt::CaseInsensitive) != 0
            && HeaderOf(head, "Proxy-Connection").compare("close", Qt::CaseInsensitive) != 0;

        bool only443 = false;
        QByteArray expected;
        {
            QMutexLocker lock(&m_shared->mutex);
            only443 = m_shared->connectOnlyTo443;
            if (!m_shared->user.isEmpty())
                expected = "Basic " + (m_shared->user + ':' + m_shared->password).toBase64();
        }
        if (!expected.isEmpty() && entry.proxyAuthorization != expected)
            return answer(407, "Proxy-Authenticate: Basic realm=\"loopback proxy\"\r\n");
        if (entry.tunnel)
            return openTunnel(entry.target, only443);
        forward(head, line.value(2));
    }

    void openTunnel(const QByteArray &authority, bool only443)
    {
        QString host;
        quint16 port = 0;
        if (!SplitHostPort(authority, &host, &port))
            return answer(400);
        if (only443 && port != 443)
            return answer(403);
        connectUpstream(
            host, port,
            [this] {
                setStatus(200);
                m_client->write("HTTP/1.1 200 Connection established\r\n\r\n");
                startRelay();
            },
            [this] { answer(502); });
    }

    // The request goes on in origin form, closing after its answer, with
    // what was meant for the proxy alone left out.
    void forward(const QByteArray &head, const QByteArray &version)
    {
        const QUrl url = QUrl::fromEncoded(head.split(' ').value(1));
        if (url.scheme() != QLatin1String("http") || url.host().isEmpty())
            return answer(400);
        QByteArray target = url.toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority | QUrl::RemoveFragment);
        if (target.isEmpty())
            target = "/";
        QByteArray out = head.split(' ').value(0) + ' ' + target + ' ' + version;
        const QList<QByteArray> lines = head.split('\n');
        for (int i = 1; i < lines.size(); ++i) {
            const QByteArray name = lines[i].left(lines[i].indexOf(':')).trimmed().toLower();
            if (!lines[i].trimmed().isEmpty() && name != "proxy-authorization" && name != "proxy-connection"
                && name != "connection" && name != "keep-alive")
                out += lines[i].trimmed() + "\r\n";
        }
        out += "Connection: close\r\n\r\n";
        connectUpstream(
            url.host(), quint16(url.port(80)),
            [this, out] {
                m_upstream->write(out);
                startRelay();
            },
            [this] { answer(502); });
    }

    void answer(int status, const QByteArray &extra = {})
    {
        static const QHash<int, QByteArray> reasons{{400, "Bad Request"}, {403, "Forbidden"},
                                                    {407, "Proxy Authentication Required"}, {502, "Bad Gateway"}};
        setStatus(status);
        m_client->write("HTTP/1.1 " + QByteArray::number(status) + ' ' + reasons.value(status) + "\r\n" + extra
                        + "Content-Length: 0\r\n" + (m_keepAlive ? "" : "Connection: close\r\n") + "\r\n");
        if (m_upstream) {
            m_upstream->deleteLater();  // a failed connection: the next request starts anew
            m_upstream = nullptr;
        }
        if (!m_keepAlive)
            m_client->disconnectFromHost();
    }

    bool m_keepAlive = true;
};

class SocksSession : public Session
{
public:
    using Session::Session;

private:
    enum class Step { Greeting, Credentials, Request, Done };

    void onInput() override
    {
        bool progressed = true;
        while (progressed && m_step != Step::Done) {
            switch (m_step) {
            case Step::Greeting: progressed = greeting(); break;
            case Step::Credentials: progressed = credentials(); break;
            case Step::Request: progressed = request(); break;
            case Step::Done: break;
            }
        }
        if (m_in.size() > kMaxHead)
            m_client->abort();
    }

    quint8 at(int i) const { return quint8(m_in.at(i)); }

    void refuse(const QByteArray &reply)
    {
        m_client->write(reply);
        m_client->disconnectFromHost();
        m_step = Step::Done;
    }

    bool greeting()
    {
        if (m_in.size() < 2 || m_in.size() < 2 + at(1))
            return false;
        const QByteArray methods = m_in.mid(2, at(1));
        const bool wantsVersion5 = at(0) == 5;
        m_in.remove(0, 2 + at(1));
        {
            QMutexLocker lock(&m_shared->mutex);
            m_needCredentials = !m_shared->user.isEmpty();
        }
        const char method = m_needCredentials ? 2 : 0;
        if (!wantsVersion5 || !methods.contains(method)) {
            refuse(QByteArray("\x05\xff", 2));
            return false;
        }
        m_client->write(QByteArray("\x05", 1) + method);
        m_step = m_needCredentials ? Step::Credentials : Step::Request;
        return true;
    }

    bool credentials()
    {
        if (m_in.size() < 2 || m_in.size() < 3 + at(1) || m_in.size() < 3 + at(1) + at(2 + at(1)))
            return false;
        const int userLength = at(1);
        const int passwordLength = at(2 + userLength);
        m_user = m_in.mid(2, userLength);
        m_password = m_in.mid(3 + userLength, passwordLength);
        m_in.remove(0, 3 + userLength + passwordLength);
        bool ok = false;
        {
            QMutexLocker lock(&m_shared->mutex);
            ok = m_user == m_shared->user && m_password == m_shared->password;
        }
        if (!ok) {
            ProxyLog entry;
            entry.user = m_user;
            entry.password = m_password;
            entry.status = 2;  // not allowed
            addLog(entry);
            refuse(QByteArray("\x01\x01", 2));
            return false;
        }
        m_client->write(QByteArray("\x01\x00", 2));
        m_step = Step::Request;
        return true;
    }

    // Bytes the request needs in all, once its address type is known; 0 = not yet known.
    int requestLength() const
    {
        if (m_in.size() < 5)
            return 0;
        switch (at(3)) {
        case 1: return 4 + 4 + 2;
        case 3: return 5 + at(4) + 2;
        case 4: return 4 + 16 + 2;
        default: return -1;
        }
    }

    bool request()
    {
        const int length = requestLength();
        if (length < 0)
            refuse(QByteArray("\x05\x08\x00\x01\0\0\0\0\0\0", 10));  // address type not supported
        if (length <= 0 || m_in.size() < length)
            return false;
        QString host;
        const quint8 type = at(3);
        if (type == 3) {
            host = QString::fromLatin1(m_in.mid(5, at(4)));
        } else if (type == 4) {
            Q_IPV6ADDR v6;
            memcpy(v6.c, m_in.constData() + 4, 16);
            host = QHostAddress(v6).toString();
        } else if (type == 1) {
            host = QHostAddress(qFromBigEndian<quint32>(m_in.constData() + 4)).toString();
        }
        const quint16 port = qFromBigEndian<quint16>(m_in.constData() + length - 2);
        const bool connectCommand = at(1) == 1;
        m_in.remove(0, length);
        m_step = Step::Done;

        ProxyLog entry;
        entry.tunnel = true;
        entry.method = "CONNECT";
        entry.target = (type == 4 ? '[' + host.toLatin1() + ']' : host.toLatin1()) + ':' + QByteArray::number(port);
        entry.user = m_user;
        entry.password = m_password;
        entry.byName = type == 3;
        entry.status = 0xff;  // until the connection is made or fails
        addLog(entry);
        if (!connectCommand) {
            setStatus(7);
            refuse(QByteArray("\x05\x07\x00\x01\0\0\0\0\0\0", 10));
            return false;
        }
        connectUpstream(
            host, port,
            [this] {
                setStatus(0);
                m_client->write(QByteArray("\x05\x00\x00\x01\0\0\0\0\0\0", 10));
                startRelay();
            },
            [this] {
                setStatus(5);
                refuse(QByteArray("\x05\x05\x00\x01\0\0\0\0\0\0", 10));
            });
        return false;
    }

    Step m_step = Step::Greeting;
    bool m_needCredentials = false;
    QByteArray m_user;
    QByteArray m_password;
};

} // namespace

ProxyBase::ProxyBase(Protocol protocol) : m_shared(std::make_shared<Shared>()), m_protocol(protocol) {}

ProxyBase::~ProxyBase() { stop(); }

bool ProxyBase::start(quint16 port, const QHostAddress &address)
{
    stop();
    m_thread = new QThread;
    m_thread->setObjectName(QStringLiteral("proxy"));
    auto *root = new QObject;  // owns the listener and every session
    root->moveToThread(m_thread);
    QObject::connect(m_thread, &QThread::finished, root, &QObject::deleteLater);
    m_thread->start();
    const std::shared_ptr<Shared> shared = m_shared;
    const Protocol protocol = m_protocol;
    quint16 result = 0;
    QMetaObject::invokeMethod(
        root,
        [&] {
            auto *listener = new Listener(
                [root, shared, protocol](QTcpSocket *socket, const QByteArray &) {
                    qint64 id = 0;
                    {
                        QMutexLocker lock(&shared->mutex);
                        id = ++shared->connections;
                    }
                    Session *s = protocol == Protocol::Http ? static_cast<Session *>(new HttpSession(socket, shared, id))
                                                            : new SocksSession(socket, shared, id);
                    s->setParent(root);
                },
                root);
            {
                QMutexLocker lock(&shared->mutex);
                listener->setTls(shared->tls);
            }
            result = listener->listen(address, port) ? listener->serverPort() : 0;
        },
        Qt::BlockingQueuedConnection);
    m_port = result;
    if (!result)
        stop();
    return result != 0;
}

void ProxyBase::stop()
{
    if (!m_thread)
        return;
    EndThread(m_thread);
    m_port = 0;
}

QString ProxyBase::hostPort() const { return QStringLiteral("127.0.0.1:%1").arg(m_port); }

bool ProxyBase::setTls(const QString &certificateFile, const QString &keyFile)
{
    QSslConfiguration tls;
    if (!certificateFile.isEmpty() || !keyFile.isEmpty()) {
        tls = ServerTls(certificateFile, keyFile);
        if (tls.isNull())
            return false;
    }
    QMutexLocker lock(&m_shared->mutex);
    m_shared->tls = tls;
    return true;
}

void ProxyBase::setCredentials(const QByteArray &user, const QByteArray &password)
{
    QMutexLocker lock(&m_shared->mutex);
    m_shared->user = user;
    m_shared->password = password;
}

void ProxyBase::mapPort(quint16 asked, quint16 actual)
{
    QMutexLocker lock(&m_shared->mutex);
    m_shared->portMap.insert(asked, actual);
}

QList<ProxyLog> ProxyBase::requests() const
{
    QMutexLocker lock(&m_shared->mutex);
    return m_shared->log;
}

void ProxyBase::clearRequests()
{
    QMutexLocker lock(&m_shared->mutex);
    m_shared->firstSerial += m_shared->log.size();
    m_shared->log.clear();
}

qint64 ProxyBase::connectionCount() const
{
    QMutexLocker lock(&m_shared->mutex);
    return m_shared->connections;
}

bool ProxyBase::waitForRequestCount(qsizetype count, int timeoutMs) const
{
    return WaitForLog(*m_shared, timeoutMs, [count](const auto &log) { return log.size() >= count; });
}

HttpProxy::HttpProxy() : ProxyBase(Protocol::Http) {}

QString HttpProxy::url() const
{
    QMutexLocker lock(&m_shared->mutex);
    return (m_shared->tls.isNull() ? QStringLiteral("http://") : QStringLiteral("https://")) + hostPort();
}

void HttpProxy::setConnectOnlyTo443(bool only)
{
    QMutexLocker lock(&m_shared->mutex);
    m_shared->connectOnlyTo443 = only;
}

Socks5Proxy::Socks5Proxy() : ProxyBase(Protocol::Socks5) {}

QString Socks5Proxy::url(bool proxyResolves) const
{
    return (proxyResolves ? QStringLiteral("socks5h://") : QStringLiteral("socks5://")) + hostPort();
}

} // namespace velmora::httpd
