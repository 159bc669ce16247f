// SPDX-FileCopyrightText: 2026 Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "listener.h"

#include <QFile>
#include <QSocketNotifier>
#include <QSslKey>
#include <QSslSocket>

#include <cerrno>
#include <memory>

#include <sys/socket.h>
#include <unistd.h>

namespace velmora::httpd {

namespace {

// Reads big-endian fields from a byte string, failing (not reading past
// the end) once anything is missing.
class Reader
{
public:
    explicit Reader(QByteArrayView data) : m_data(data) {}
    bool ok() const { return m_ok; }
    quint32 number(int bytes)
    {
        quint32 v = 0;
        for (int i = 0; i < bytes; ++i) {
            const QByteArrayView byte = take(1);
            v = (v << 8) | (byte.isEmpty() ? 0u : quint8(byte.at(0)));
        }
        return v;
    }
    QByteArrayView take(qsizetype n)
    {
        if (!m_ok || n > m_data.size() - m_pos) {
            m_ok = false;
            return {};
        }
        const QByteArrayView part = m_data.sliced(m_pos, n);
        m_pos += n;
        return part;
    }
    // The bytes of a field preceded by its length in lengthBytes bytes.
    QByteArrayView block(int lengthBytes) { return take(number(lengthBytes)); }
    bool atEnd() const { return m_pos >= m_data.size(); }

private:
    QByteArrayView m_data;
    qsizetype m_pos = 0;
    bool m_ok = true;
};

QByteArray HostNameIn(QByteArrayView serverNameExtension)
{
    Reader list(Reader(serverNameExtension).block(2));
    while (list.ok() && !list.atEnd()) {
        const quint32 type = list.number(1);
        const QByteArrayView name = list.block(2);
        if (list.ok() && type == 0)
            return name.toByteArray();
    }
    return {};
}

} // namespace

QByteArray Listener::ServerNameOf(const QByteArray &clientHello)
{
    Reader record(clientHello);
    if (record.number(1) != 0x16)  // handshake record
        return {};
    record.take(2);                // record version
    Reader handshake(record.block(2));
    if (handshake.number(1) != 1)  // ClientHello
        return {};
    Reader hello(handshake.block(3));
    hello.take(2 + 32);            // client version, random
    hello.block(1);                // session id
    hello.block(2);                // cipher suites
    hello.block(1);                // compression methods
    Reader extensions(hello.block(2));
    while (extensions.ok() && !extensions.atEnd()) {
        const quint32 type = extensions.number(2);
        const QByteArrayView body = extensions.block(2);
        if (extensions.ok() && type == 0)
            return HostNameIn(body);
    }
    return {};
}

QSslConfiguration ServerTls(const QString &certificateFile, const QString &keyFile, TlsVersions versions)
{
    QFile certFile(certificateFile), key(keyFile);
    if (!certFile.open(QIODevice::ReadOnly) || !key.open(QIODevice::ReadOnly))
        return {};
    const QList<QSslCertificate> chain = QSslCertificate::fromData(certFile.readAll(), QSsl::Pem);
    const QByteArray keyPem = key.readAll();
    QSslKey privateKey(keyPem, QSsl::Ec, QSsl::Pem);
    if (privateKey.isNull())
        privateKey = QSslKey(keyPem, QSsl::Rsa, QSsl::Pem);
    if (chain.isEmpty() || privateKey.isNull())
        return {};
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setLocalCertificateChain(chain);
    tls.setPrivateKey(privateKey);
    tls.setPeerVerifyMode(QSslSocket::VerifyNone);
    if (versions == TlsVersions::OldOnly) {
        // OpenSSL's own settings: its default security level refuses these versions outright.
        tls.setProtocol(QSsl::AnyProtocol);
        tls.setBackendConfigurationOption("MinProtocol", QByteArrayLiteral("TLSv1"));
        tls.setBackendConfigurationOption("MaxProtocol", QByteArrayLiteral("TLSv1.1"));
        tls.setBackendConfigurationOption("CipherString", QByteArrayLiteral("DEFAULT:@SECLEVEL=0"));
    }
    return tls;
}

Listener::Listener(Accepted accepted, QObject *parent) : QTcpServer(parent), m_accepted(std::move(accepted)) {}

void Listener::incomingConnection(qintptr descriptor)
{
    if (m_tls.isNull()) {
        auto *socket = new QTcpSocket;
        socket->setSocketDescriptor(descriptor);
        m_accepted(socket, {});
        return;
    }
    // Qt does not tell a server which name the client asked for, so the
    // ClientHello is peeked at in the kernel's buffer, where it stays for
    // the handshake to read.
    auto *notifier = new QSocketNotifier(descriptor, QSocketNotifier::Read, this);
    auto handedOver = std::make_shared<bool>(false);
    // A server stopped before the client spoke still closes the socket.
    connect(notifier, &QObject::destroyed, [descriptor, handedOver] {
        if (!*handedOver)
            ::close(int(descriptor));
    });
    connect(notifier, &QSocketNotifier::activated, this, [this, notifier, descriptor, handedOver] {
        QByteArray hello(16 * 1024, Qt::Uninitialized);
        const ssize_t n = ::recv(int(descriptor), hello.data(), size_t(hello.size()), MSG_PEEK | MSG_DONTWAIT);
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            return;  // woken for nothing: wait on
        notifier->setEnabled(false);
        notifier->deleteLater();
        if (n <= 0)
            return;  // gone before it said anything: closed with the notifier
        *handedOver = true;
        hello.truncate(n);
        startTls(descriptor, ServerNameOf(hello));
    });
}

void Listener::startTls(qintptr descriptor, const QByteArray &serverName)
{
    auto *socket = new QSslSocket;
    socket->setSslConfiguration(m_tls);
    socket->setSocketDescriptor(descriptor);
    m_accepted(socket, serverName);
    socket->startServerEncryption();
}

} // namespace velmora::httpd
