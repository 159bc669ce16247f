// SPDX-FileCopyrightText: 2026 Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A bare connection for bytes of our own (the download's probe). libcurl
// opens it by the same road as every request: straight to the server, to
// the HTTP proxy that takes plain http itself, or through a CONNECT tunnel
// or SOCKS; TLS to the server for https and to an https proxy, with the
// certificates checked. Once it stands, the bytes sent and read are ours:
// nothing of HTTP is added or taken away here.
#include "net/curlmulti.h"
#include "net/failure.h"
#include "net/route.h"

#include <QByteArray>
#include <QObject>
#include <QString>

class QSocketNotifier;

namespace velmora::net {

class Connection : public QObject
{
    Q_OBJECT
public:
    // Bytes held at most until they are read: a server that sends fast (a
    // whole file after the head) is not read into memory beyond this.
    static constexpr qsizetype kHeldAtMost = 256 * 1024;

    explicit Connection(QObject *parent = nullptr);
    ~Connection() override;

    // Starts opening; opened() or failed() follows (failed() at once when
    // the proxy set for it cannot be used).
    void open(const Endpoint &endpoint, const NetSettings &settings);
    // Queues bytes; they go out as the connection takes them.
    void send(const QByteArray &bytes);
    // What has arrived since the last call (at most kHeldAtMost bytes).
    QByteArray readAll();
    // Closes it (repeatable); no signal follows.
    void close();

    bool isOpen() const { return m_state == State::Open; }
    NetFailure failure() const { return m_failure; }
    CertificateProblem certificateProblem() const { return m_certificate; }
    QString errorString() const { return m_error; }

signals:
    void opened();
    void readyRead();
    void failed();

private:
    enum class State { Closed, Opening, Open, Failed };

    void connected(CURLcode result);
    void writeMore();
    void readMore();
    void fail(NetFailure why, const QString &error);
    void dropNotifiers();

    CurlMulti *m_multi;
    CURL *m_easy = nullptr;
    char m_errorBuffer[CURL_ERROR_SIZE] = {};
    State m_state = State::Closed;
    QSocketNotifier *m_readable = nullptr;
    QSocketNotifier *m_writable = nullptr;
    QByteArray m_out;
    QByteArray m_in;
    bool m_heard = false;  // the other side has sent something
    NetFailure m_failure = NetFailure::None;
    CertificateProblem m_certificate = CertificateProblem::None;
    QString m_error;
};

} // namespace velmora::net
