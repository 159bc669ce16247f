// SPDX-FileCopyrightText: 2026 Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where a request goes and how libcurl is told so. An address is turned
// into an Endpoint once (scheme, host, port, TLS and the proxy), and the
// probe's connection, the transfer and the catalogue's fetches all take
// that one road: the same proxy rules, certificates, time limits and the
// same words for what failed.
#include "net/failure.h"
#include "net/proxy.h"

#include <QString>
#include <QUrl>

#include <curl/curl.h>

namespace velmora::net {

// http or https, in any letter case.
bool IsWebScheme(const QUrl &url);
bool IsHttps(const QUrl &url);
// The port of an address: its own, or its scheme's (443 for https, 80 otherwise).
int PortOf(const QUrl &url);

struct Endpoint
{
    QString scheme;    // "http" or "https"
    QString host;      // as a connection names it: ASCII (punycode), an IPv6 literal without brackets
    quint16 port = 0;
    bool tls = false;  // https: TLS to the server, certificate checked
    ProxyChoice proxy;

    // Computed from an address once; proxy from the environment or the desktop.
    static Endpoint of(const QUrl &url);
    // Plain http to an HTTP or https proxy: the proxy takes the request itself
    // in absolute form. Anything else through a proxy is a tunnel.
    bool proxyTakesRequest() const;
    // Same scheme, host and port: whose user name and password these are.
    bool sameOrigin(const Endpoint &other) const;
    // "scheme://host:port/", as libcurl takes a bare connection's address.
    QByteArray curlUrl() const;
};

// Sets the proxy, certificates and connect limit of easy for a request to endpoint.
void ConfigureRoute(CURL *easy, const Endpoint &endpoint, const NetSettings &settings);

// What went wrong, for a request of easy that ended with result; certificate
// is set when a certificate was refused. error: libcurl's own words.
NetFailure FailureOf(CURL *easy, CURLcode result, const QString &error, CertificateProblem *certificate);

} // namespace velmora::net
