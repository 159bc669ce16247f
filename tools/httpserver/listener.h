// SPDX-FileCopyrightText: 2026 Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The listening socket of the test servers: plain TCP, or TLS with a given
// certificate, in which case it also notes the server name (SNI) each
// client asked for before the handshake begins.
#include <QByteArray>
#include <QDeadlineTimer>
#include <QMutexLocker>
#include <QSslConfiguration>
#include <QTcpServer>
#include <QThread>

#include <functional>

class QTcpSocket;

namespace velmora::httpd {

// Which TLS versions a test server offers.
enum class TlsVersions {
    Current,  // what the system's OpenSSL allows by default
    OldOnly,  // TLS 1.0 and 1.1 alone, as a server long out of date offers them
};

// Server TLS with the certificate and key of these PEM files (an EC or RSA
// key); a null configuration when they cannot be read.
QSslConfiguration ServerTls(const QString &certificateFile, const QString &keyFile,
                            TlsVersions versions = TlsVersions::Current);

class Listener : public QTcpServer
{
public:
    // Called with each new socket (a QSslSocket already in its server
    // handshake when TLS is on) and the SNI name it sent ("" when none).
    using Accepted = std::function<void(QTcpSocket *socket, const QByteArray &serverName)>;

    Listener(Accepted accepted, QObject *parent);
    // TLS for the connections accepted from now on; a null configuration turns it off.
    void setTls(const QSslConfiguration &configuration) { m_tls = configuration; }

    // The host name in the server_name extension of a TLS ClientHello
    // record; "" when the bytes are no ClientHello, carry none or are cut short.
    static QByteArray ServerNameOf(const QByteArray &clientHello);

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    void startTls(qintptr descriptor, const QByteArray &serverName);

    Accepted m_accepted;
    QSslConfiguration m_tls;
};

// Blocks until done(log) holds for the log of a server or proxy's shared
// state, at most timeoutMs; the server thread wakes logChanged on each change.
template<typename Shared, typename Done>
bool WaitForLog(Shared &shared, int timeoutMs, Done done)
{
    QDeadlineTimer deadline(timeoutMs);
    QMutexLocker lock(&shared.mutex);
    while (!done(shared.log)) {
        if (!shared.logChanged.wait(&shared.mutex, deadline))
            return done(shared.log);
    }
    return true;
}

// Ends a server's own thread and deletes it; the objects living on it (the
// listening socket, every connection) go with it.
inline void EndThread(QThread *&thread)
{
    thread->quit();
    thread->wait();
    delete thread;
    thread = nullptr;
}

} // namespace velmora::httpd
