// SPDX-FileCopyrightText: 2026 Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/connection.h"

#include <QSocketNotifier>

namespace velmora::net {

Connection::Connection(QObject *parent) : QObject(parent), m_multi(new CurlMulti(this)) {}

Connection::~Connection()
{
    close();
}

void Connection::open(const Endpoint &endpoint, const NetSettings &settings)
{
    close();
    m_failure = NetFailure::None;
    m_certificate = CertificateProblem::None;
    m_error.clear();
    m_errorBuffer[0] = '\0';
    if (endpoint.proxy.kind == ProxyChoice::Kind::Unusable)
        return fail(NetFailure::Proxy, QStringLiteral("the proxy address cannot be used"));
    m_easy = curl_easy_init();
    if (!m_easy)
        return fail(NetFailure::Unreachable, QStringLiteral("cannot start a connection"));
    m_state = State::Opening;
    curl_easy_setopt(m_easy, CURLOPT_URL, endpoint.curlUrl().constData());
    curl_easy_setopt(m_easy, CURLOPT_CONNECT_ONLY, 1L);
    curl_easy_setopt(m_easy, CURLOPT_ERRORBUFFER, m_errorBuffer);
    ConfigureRoute(m_easy, endpoint, settings);
    // The handle stays in its multi while the connection is used: taken out, it closes.
    m_multi->add(m_easy, [this](CURLcode result) { connected(result); }, CurlMulti::AfterDone::Keep);
}

void Connection::connected(CURLcode result)
{
    if (result != CURLE_OK)
        return fail(FailureOf(m_easy, result, QString::fromUtf8(m_errorBuffer), &m_certificate),
                    QString::fromUtf8(m_errorBuffer));
    curl_socket_t socket = CURL_SOCKET_BAD;
    curl_easy_getinfo(m_easy, CURLINFO_ACTIVESOCKET, &socket);
    if (socket == CURL_SOCKET_BAD)
        return fail(NetFailure::Unreachable, QStringLiteral("the connection closed at once"));
    m_state = State::Open;
    m_readable = new QSocketNotifier(qintptr(socket), QSocketNotifier::Read, this);
    connect(m_readable, &QSocketNotifier::activated, this, &Connection::readMore);
    m_writable = new QSocketNotifier(qintptr(socket), QSocketNotifier::Write, this);
    m_writable->setEnabled(false);
    connect(m_writable, &QSocketNotifier::activated, this, &Connection::writeMore);
    emit opened();
    writeMore();
}

void Connection::send(const QByteArray &bytes)
{
    m_out += bytes;
    if (isOpen())
        writeMore();
}

void Connection::writeMore()
{
    while (isOpen() && !m_out.isEmpty()) {
        size_t sent = 0;
        const CURLcode result = curl_easy_send(m_easy, m_out.constData(), size_t(m_out.size()), &sent);
        if (result == CURLE_AGAIN)
            break;
        if (result != CURLE_OK)
            return fail(NetFailure::Unreachable, QString::fromLatin1(curl_easy_strerror(result)));
        m_out.remove(0, qsizetype(sent));
    }
    // Woken again only while something waits to go out.
    if (m_writable)
        m_writable->setEnabled(isOpen() && !m_out.isEmpty());
}

void Connection::readMore()
{
    const qsizetype before = m_in.size();
    char buffer[16 * 1024];
    // Everything that is in, TLS records included: the socket may be quiet
    // while bytes already wait decrypted. But no more than the bound: the
    // rest waits in the socket until what is held has been read.
    while (isOpen() && m_in.size() < kHeldAtMost) {
        size_t got = 0;
        const size_t room = size_t(qMin<qsizetype>(qsizetype(sizeof buffer), kHeldAtMost - m_in.size()));
        const CURLcode result = curl_easy_recv(m_easy, buffer, room, &got);
        if (result == CURLE_AGAIN)
            break;
        if (result != CURLE_OK || got == 0) {
            // Closed by the other side: after what it said, or instead of it.
            if (!m_heard)
                return fail(NetFailure::Unreachable, QStringLiteral("closed before an answer"));
            dropNotifiers();
            break;
        }
        m_in.append(buffer, qsizetype(got));
        m_heard = true;
    }
    // Full: no wake-ups for a socket that stays readable until room is made.
    if (m_readable && m_in.size() >= kHeldAtMost)
        m_readable->setEnabled(false);
    if (m_in.size() > before)
        emit readyRead();
}

QByteArray Connection::readAll()
{
    QByteArray bytes;
    bytes.swap(m_in);
    // Room again: what waited in the socket (or decrypted) is read next.
    if (m_readable && isOpen() && !m_readable->isEnabled()) {
        m_readable->setEnabled(true);
        QMetaObject::invokeMethod(this, &Connection::readMore, Qt::QueuedConnection);
    }
    return bytes;
}

void Connection::fail(NetFailure why, const QString &error)
{
    close();
    m_state = State::Failed;
    m_failure = why;
    m_error = error;
    emit failed();
}

void Connection::dropNotifiers()
{
    // One of them may be the notifier whose signal is being handled: they go later.
    for (QSocketNotifier *n : {m_readable, m_writable}) {
        if (n) {
            n->setEnabled(false);
            n->deleteLater();
        }
    }
    m_readable = m_writable = nullptr;
}

void Connection::close()
{
    dropNotifiers();
    m_out.clear();
    m_in.clear();
    m_heard = false;
    m_state = State::Closed;
    if (!m_easy)
        return;
    m_multi->remove(m_easy);
    curl_easy_cleanup(m_easy);
    m_easy = nullptr;
}

} // namespace velmora::net
