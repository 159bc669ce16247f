// SPDX-FileCopyrightText: 2026 Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// How a request of the network layer failed, in words the program can map
// to its own problems.
#include <QString>
#include <QtGlobal>

namespace velmora::net {

// What is wrong with a server's certificate.
enum class CertificateProblem {
    None,
    Untrusted,  // self-signed, or signed by an authority we do not know
    Expired,    // outside its validity period
    WrongName,  // made out for another host
    Other,      // refused for another reason (revoked, bad signature, ...)
};

enum class NetFailure {
    None,
    CannotResolve,  // the host name is unknown
    Unreachable,    // no answer: refused, reset or closed before a status line
    TimedOut,       // connect, head or body took longer than its limit
    BadAnswer,      // not HTTP, a header block without end, a body past its bound
    Certificate,    // the TLS certificate was refused (see CertificateProblem)
    Downgrade,      // a redirect from https to plain http, refused
    Refused,        // a redirect to something other than http or https
    Proxy,          // the proxy could not be reached, would not forward, or its address is unusable
    ProxyCredentials,    // the proxy refused our user name and password (407, or SOCKS refusing them)
    NoSecureConnection,  // no TLS could be agreed (protocol versions, ciphers), with the server or proxy
};

// Time limits of a request, in milliseconds, whom it trusts, and how much of
// the server a download may take.
struct NetSettings
{
    int connectMs = 30000;  // TCP (and proxy) connection
    int headMs = 60000;     // the whole head of the answer, interim answers included
    int idleMs = 60000;     // no body byte for this long: the transfer counts as dropped
    // Certificate authorities trusted instead of the system's (a PEM file;
    // "" = the system's). Tests use it for their own authority.
    QString caFile;
    // Connections one download may use at once (1 = one, as a plain GET).
    int connections = 4;
    // Body bytes per second a download takes at most, over all its connections; 0 = no limit.
    qint64 maxBytesPerSecond = 0;

    // The same limit for the head and for silence in the body (a command-line setting).
    static NetSettings withTimeout(int seconds)
    {
        NetSettings settings;
        settings.headMs = settings.idleMs = seconds * 1000;
        return settings;
    }
};

// Header bytes taken from one answer, interim answers included.
inline constexpr qint64 kMaxHeaderBytes = 300 * 1024;

// OpenSSL's verification result (X509_V_ERR_*) as a problem; 0 = none.
CertificateProblem CertificateProblemOf(long verifyResult);

} // namespace velmora::net
