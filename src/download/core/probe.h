// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The probe: one hand-written HTTP/1.1 GET, read only for its status code,
// to follow one "302" and to reject a "404" early. Its connection is opened
// by the network layer on the transfer's road: the same proxy, TLS for https
// (certificate checked, never clear text), the same limits and failures.
#include "net/connection.h"
#include "net/failure.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

namespace velmora {

// Value of one header line of a response text: the key is found without
// regard to letter case, the value starts one character after the key and
// runs to the first CR LF after it (or the end of the text). "" when absent.
QString GetDataHead(const QString &DATA, const QString &ToRetrieve);

// Characters 10 to 12 (1-based) of a response or header text: the status code.
QString StatusOf(const QString &text);

// An address as it may go into a request line or Host header: spaces,
// control characters and non-ASCII characters percent-encoded (UTF-8).
QByteArray EncodeForRequestLine(const QString &text);

// True when the text holds a CR or LF, which would let it write header lines.
bool HoldsLineBreak(const QString &text);

// The address a probe's "302" sends us to: Location as it stands when it is
// absolute, otherwise taken against the probed address.
QString ResolveProbeLocation(const QString &probed, const QString &location);

// The probe request, byte for byte.
QByteArray BuildProbeRequest(const QString &strRequestURL, const QString &strServer);

// One probe connection (the socket control of the download window).
class Probe : public QObject
{
    Q_OBJECT
public:
    explicit Probe(QObject *parent = nullptr);
    ~Probe() override;

    // Connects to host:port (over TLS when https); once connected the
    // request is sent as it is (for an HTTP proxy that asks for them, with
    // the proxy's credentials, which it keeps). host may be an IPv6 literal
    // in brackets.
    void start(bool https, const QString &host, quint16 port, const QByteArray &request,
               const net::NetSettings &limits = net::NetSettings());
    // Closes the connection (repeatable).
    void close();
    bool failed() const { return m_failure != net::NetFailure::None; }
    net::NetFailure failure() const { return m_failure; }
    net::CertificateProblem certificateProblem() const { return m_certificate; }
    QString errorString() const { return m_error; }

signals:
    // All text now available on the connection (the first arrival).
    void dataArrived(const QString &strResponse);
    // Something happened that a waiting engine should look at.
    void wake();

private:
    void onArrival();
    void fail(net::NetFailure why, const QString &error);

    net::Connection m_connection;
    bool m_running = false;            // started, not yet closed
    bool m_proxyTakesRequest = false;  // the request goes to an HTTP proxy as it is
    QByteArray m_request;
    QTimer m_answerTimer;
    net::NetFailure m_failure = net::NetFailure::None;
    net::CertificateProblem m_certificate = net::CertificateProblem::None;
    QString m_error;
};

} // namespace velmora
