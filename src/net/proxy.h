// SPDX-FileCopyrightText: 2026 Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Which proxy a request goes through. The rules are curl's: http_proxy (lower
// case only) for http, https_proxy or HTTPS_PROXY for https, all_proxy or
// ALL_PROXY for both, no_proxy or NO_PROXY for the hosts that go direct.
// When none of them is set the desktop's settings decide, through Qt's
// system proxy query. The probe and the transfer both ask here, so both
// take the same road.
#include <QString>
#include <QUrl>

namespace velmora::net {

struct ProxyChoice
{
    enum class Kind {
        None,     // straight to the server
        Http,     // an HTTP proxy: absolute-form requests for http, CONNECT for https
        Https,    // the same, reached over TLS (its certificate checked like a server's)
        Socks4,   // SOCKS4, the name resolved here
        Socks4a,  // SOCKS4a, the name resolved by the proxy
        Socks5,   // SOCKS5, the name resolved here
        Socks5h,  // SOCKS5, the name resolved by the proxy
        Unusable, // set, but not an address we can use: every request fails, none goes direct
    };
    Kind kind = Kind::None;
    QString host;
    quint16 port = 0;
    QString userName;  // for the proxy only
    QString password;

    bool direct() const { return kind == Kind::None; }
    // "scheme://host:port" without user info, as curl takes it.
    QByteArray curlAddress() const;
};

// The proxy for a request to url.
ProxyChoice ProxyFor(const QUrl &url);

// A proxy address as the environment gives it ("host:port", "http://u:p@host:port",
// "socks5h://host"); Kind::Unusable when it cannot be used.
ProxyChoice ParseProxyAddress(const QString &text);

// Whether host is named by a no_proxy list ("*", names, ".domain" suffixes).
bool NoProxyMatches(const QString &list, const QString &host);

} // namespace velmora::net
