// SPDX-FileCopyrightText: 2026 Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/proxy.h"

#include <QHostAddress>
#include <QNetworkProxy>
#include <QNetworkProxyFactory>
#include <QRegularExpression>

namespace velmora::net {

namespace {

// curl's port for a proxy address that names none (but an https one).
constexpr quint16 kDefaultProxyPort = 1080;

QString Env(const char *name)
{
    return qEnvironmentVariable(name).trimmed();
}

// The first of the variables that is set, in curl's order.
QString FirstEnv(std::initializer_list<const char *> names)
{
    for (const char *name : names) {
        const QString value = Env(name);
        if (!value.isEmpty())
            return value;
    }
    return QString();
}

bool AnyProxyVariableSet()
{
    // HTTP_PROXY counts as set although it is never read: whoever set it
    // meant the environment to decide, and Qt's query would read it.
    return !FirstEnv({"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY", "no_proxy",
                      "NO_PROXY"})
                .isEmpty();
}

ProxyChoice FromEnvironment(const QUrl &url)
{
    if (NoProxyMatches(FirstEnv({"no_proxy", "NO_PROXY"}), url.host()))
        return ProxyChoice();
    // Upper-case HTTP_PROXY is not read: a web server's CGI sets it from a request header.
    const bool https = url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0;
    QString address = https ? FirstEnv({"https_proxy", "HTTPS_PROXY"}) : Env("http_proxy");
    if (address.isEmpty())
        address = FirstEnv({"all_proxy", "ALL_PROXY"});
    return address.isEmpty() ? ProxyChoice() : ParseProxyAddress(address);
}

ProxyChoice FromSystem(const QUrl &url)
{
    const QList<QNetworkProxy> proxies = QNetworkProxyFactory::systemProxyForQuery(QNetworkProxyQuery(url));
    ProxyChoice choice;
    if (proxies.isEmpty())
        return choice;
    const QNetworkProxy &p = proxies.first();
    if (p.type() == QNetworkProxy::HttpProxy)
        choice.kind = ProxyChoice::Kind::Http;
    else if (p.type() == QNetworkProxy::Socks5Proxy)
        choice.kind = ProxyChoice::Kind::Socks5h;
    else
        return choice;
    choice.host = p.hostName();
    choice.port = p.port() ? p.port() : kDefaultProxyPort;
    choice.userName = p.user();
    choice.password = p.password();
    return choice;
}

bool HostInSubnet(const QString &host, const QString &entry)
{
    const QHostAddress address(host);
    if (address.isNull() || !entry.contains(QLatin1Char('/')))
        return false;
    const QPair<QHostAddress, int> subnet = QHostAddress::parseSubnet(entry);
    return !subnet.first.isNull() && address.isInSubnet(subnet);
}

QString Unbracketed(QString host)
{
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
        host = host.mid(1, host.size() - 2);
    return host.toLower();
}

struct KindName
{
    ProxyChoice::Kind kind;
    const char *scheme;
};

// The proxy schemes libcurl speaks, by the names curl gives them.
constexpr KindName kKinds[] = {
    {ProxyChoice::Kind::Http, "http"},       {ProxyChoice::Kind::Https, "https"},
    {ProxyChoice::Kind::Socks4, "socks4"},   {ProxyChoice::Kind::Socks4a, "socks4a"},
    {ProxyChoice::Kind::Socks5, "socks5"},   {ProxyChoice::Kind::Socks5h, "socks5h"},
};

QByteArray SchemeOf(ProxyChoice::Kind kind)
{
    for (const KindName &k : kKinds)
        if (k.kind == kind)
            return QByteArray(k.scheme) + "://";
    return "http://";
}

} // namespace

QByteArray ProxyChoice::curlAddress() const
{
    const QByteArray scheme = SchemeOf(kind);
    QByteArray h = QUrl::toAce(host);
    if (h.isEmpty())
        h = host.toLatin1();
    if (h.contains(':'))
        h = '[' + h + ']';
    return scheme + h + ':' + QByteArray::number(port);
}

ProxyChoice ParseProxyAddress(const QString &text)
{
    QString address = text.trimmed();
    if (!address.contains(QLatin1String("://")))
        address.prepend(QLatin1String("http://"));
    const QUrl url(address, QUrl::StrictMode);
    ProxyChoice choice;
    // A proxy the user set is never silently left out: what we cannot use fails.
    choice.kind = ProxyChoice::Kind::Unusable;
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty())
        return choice;
    for (const KindName &k : kKinds)
        if (scheme == QLatin1String(k.scheme))
            choice.kind = k.kind;
    if (choice.kind == ProxyChoice::Kind::Unusable)
        return choice;
    choice.host = url.host();
    // curl's default ports: 443 for a proxy reached over TLS, 1080 for all others.
    choice.port = quint16(url.port(choice.kind == ProxyChoice::Kind::Https ? 443 : kDefaultProxyPort));
    choice.userName = url.userName(QUrl::FullyDecoded);
    choice.password = url.password(QUrl::FullyDecoded);
    return choice;
}

bool NoProxyMatches(const QString &list, const QString &host)
{
    const QString name = Unbracketed(host);
    for (QString entry : list.split(QRegularExpression(QStringLiteral("[,\\s]+")), Qt::SkipEmptyParts)) {
        if (entry == QLatin1String("*"))
            return true;
        entry = Unbracketed(entry);
        if (entry.startsWith(QLatin1Char('.')))
            entry.remove(0, 1);
        if (entry.isEmpty())
            continue;
        if (name == entry || name.endsWith(QLatin1Char('.') + entry) || HostInSubnet(name, entry))
            return true;
    }
    return false;
}

ProxyChoice ProxyFor(const QUrl &url)
{
    return AnyProxyVariableSet() ? FromEnvironment(url) : FromSystem(url);
}

} // namespace velmora::net
