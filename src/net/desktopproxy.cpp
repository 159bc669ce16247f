// SPDX-FileCopyrightText: 2026 Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/desktopproxy.h"

#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QStandardPaths>

#include <algorithm>
#include <memory>

// GIO names a struct member "signals", which Qt defines as a keyword.
#pragma push_macro("signals")
#undef signals
#include <gio/gio.h>
#pragma pop_macro("signals")

namespace velmora::net {

namespace {

// A desktop's proxy settings as one value, whichever desktop they come from.
struct DesktopProxySettings
{
    enum class Mode {
        Undecided,  // nothing read, or a script or detection: Qt's query decides
        Direct,     // the desktop says: no proxy
        Manual,     // the proxies below
    };
    Mode mode = Mode::Undecided;
    ProxyChoice http;   // for http addresses; Kind::None when none is set
    ProxyChoice https;  // for https addresses
    ProxyChoice socks;  // for both, where the one above is not set
    QString exceptions; // a no_proxy list: hosts that go direct
    bool onlyExceptions = false;  // the list names the only hosts that use a proxy
};

using Kind = ProxyChoice::Kind;
using Mode = DesktopProxySettings::Mode;

// "*.example.org" names the hosts ".example.org" does, the form NoProxyMatches reads.
QString NoProxyList(const QStringList &entries)
{
    static const QRegularExpression wildcard(QStringLiteral("(^|[,\\s])\\*\\."));
    return entries.join(QLatin1Char(',')).replace(wildcard, QStringLiteral("\\1."));
}

// --- GNOME ---------------------------------------------------------------

struct GObjectUnref
{
    void operator()(gpointer object) const { g_object_unref(object); }
};
using Settings = std::unique_ptr<GSettings, GObjectUnref>;

// The settings of one schema; null when it is not installed (GSettings would
// end the program for a missing one).
Settings OpenSchema(const char *id)
{
    GSettingsSchemaSource *source = g_settings_schema_source_get_default();
    GSettingsSchema *schema = source ? g_settings_schema_source_lookup(source, id, TRUE) : nullptr;
    if (!schema)
        return nullptr;
    Settings settings(g_settings_new_full(schema, nullptr, nullptr));
    g_settings_schema_unref(schema);
    return settings;
}

QString StringKey(GSettings *settings, const char *key)
{
    gchar *value = g_settings_get_string(settings, key);
    const QString text = QString::fromUtf8(value);
    g_free(value);
    return text;
}

QStringList StringListKey(GSettings *settings, const char *key)
{
    gchar **values = g_settings_get_strv(settings, key);
    QStringList list;
    for (gchar **v = values; *v; ++v)
        list << QString::fromUtf8(*v);
    g_strfreev(values);
    return list;
}

// One of GNOME's proxies: in use when its host is set and its port is not 0.
ProxyChoice GnomeProxy(GSettings *settings, Kind kind)
{
    QString host = StringKey(settings, "host").trimmed();
    const int port = g_settings_get_int(settings, "port");
    if (host.contains(QLatin1String("://")))  // "http://proxy" typed where the name belongs
        host = QUrl(host).host();
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
        host = host.mid(1, host.size() - 2);
    ProxyChoice choice;
    if (host.isEmpty() || port <= 0 || port > 65535)
        return choice;
    choice.kind = kind;
    choice.host = host;
    choice.port = quint16(port);
    return choice;
}

// --- Plasma --------------------------------------------------------------

using KioEntries = QHash<QString, QString>;

// Adds the [Proxy Settings] entries of one KConfig file to entries, replacing
// those of a file read before it.
void ReadProxyGroup(const QByteArray &text, KioEntries &entries)
{
    bool inGroup = false;
    for (QByteArray line : text.split('\n')) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        if (line.startsWith('[')) {
            inGroup = line == "[Proxy Settings]" || line.startsWith("[Proxy Settings][$");
            continue;
        }
        const qsizetype equals = line.indexOf('=');
        if (!inGroup || equals <= 0)
            continue;
        QByteArray key = line.left(equals).trimmed();
        const qsizetype flags = key.indexOf("[$");  // "[$e]", "[$i]": the entry itself
        if (flags > 0)
            key.truncate(flags);
        else if (key.contains('['))  // "key[de]": a translation
            continue;
        entries.insert(QString::fromUtf8(key), QString::fromUtf8(line.mid(equals + 1).trimmed()));
    }
}

// KIO writes "http://host 8080" as often as "http://host:8080", and names
// SOCKS "socks://", whose names the proxy resolves.
ProxyChoice KioProxyAddress(QString value, const QString &defaultScheme)
{
    value = value.trimmed();
    const qsizetype space = value.lastIndexOf(QLatin1Char(' '));
    if (space > 0) {
        bool ok = false;
        const int port = value.mid(space + 1).toInt(&ok);
        if (!ok || port <= 0 || port > 65535) {
            ProxyChoice unusable;  // set, so nothing may go round it
            unusable.kind = Kind::Unusable;
            return unusable;
        }
        value = value.left(space).trimmed() + QLatin1Char(':') + QString::number(port);
    }
    if (value.isEmpty())
        return ProxyChoice();
    if (!value.contains(QLatin1String("://")))
        value.prepend(defaultScheme + QLatin1String("://"));
    if (value.startsWith(QLatin1String("socks://"), Qt::CaseInsensitive))
        value.replace(0, 5, QStringLiteral("socks5h"));
    return ParseProxyAddress(value);
}

// With ProxyType 4 the entries name environment variables ("http_proxy",
// or several separated by commas); the first that is set gives the value.
QString FirstSetVariable(const QString &names)
{
    for (const QString &name : names.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString value = qEnvironmentVariable(name.trimmed().toLocal8Bit().constData()).trimmed();
        if (!value.isEmpty())
            return value;
    }
    return QString();
}

DesktopProxySettings FromKioEntries(const KioEntries &entries)
{
    enum KioProxyType { NoProxy = 0, Manual = 1, Script = 2, Detect = 3, Environment = 4 };
    DesktopProxySettings settings;
    const int type = entries.value(QStringLiteral("ProxyType")).toInt();
    if (type == NoProxy)
        settings.mode = Mode::Direct;
    if (type != Manual && type != Environment)
        return settings;
    const auto entry = [&](const char *key) {
        const QString value = entries.value(QLatin1String(key));
        return type == Environment ? FirstSetVariable(value) : value;
    };
    settings.mode = Mode::Manual;
    settings.http = KioProxyAddress(entry("httpProxy"), QStringLiteral("http"));
    settings.https = KioProxyAddress(entry("httpsProxy"), QStringLiteral("http"));
    settings.socks = KioProxyAddress(entry("socksProxy"), QStringLiteral("socks"));
    settings.exceptions = NoProxyList({entry("NoProxyFor")});
    const QString reversed = entries.value(QStringLiteral("ReversedException")).trimmed().toLower();
    settings.onlyExceptions = reversed == QLatin1String("true") || reversed == QLatin1String("1");
    return settings;
}

std::optional<ProxyChoice> ChooseDesktopProxy(const DesktopProxySettings &settings, const QUrl &url)
{
    if (settings.mode == Mode::Undecided)
        return std::nullopt;
    if (settings.mode == Mode::Direct || NoProxyMatches(settings.exceptions, url.host()) != settings.onlyExceptions)
        return ProxyChoice();
    const bool https = url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0;
    const ProxyChoice &own = https ? settings.https : settings.http;
    return own.direct() ? settings.socks : own;
}

DesktopProxySettings ReadGnomeProxySettings()
{
    const Settings proxy = OpenSchema("org.gnome.system.proxy");
    const Settings http = OpenSchema("org.gnome.system.proxy.http");
    const Settings https = OpenSchema("org.gnome.system.proxy.https");
    const Settings socks = OpenSchema("org.gnome.system.proxy.socks");
    DesktopProxySettings settings;
    if (!proxy || !http || !https || !socks)
        return settings;
    const QString mode = StringKey(proxy.get(), "mode");
    if (mode == QLatin1String("none"))
        settings.mode = Mode::Direct;
    if (mode != QLatin1String("manual"))  // "auto" is a proxy script
        return settings;
    settings.mode = Mode::Manual;
    settings.http = GnomeProxy(http.get(), Kind::Http);
    if (!settings.http.direct() && g_settings_get_boolean(http.get(), "use-authentication")) {
        settings.http.userName = StringKey(http.get(), "authentication-user");
        settings.http.password = StringKey(http.get(), "authentication-password");
    }
    // The http proxy serves https too when no https proxy of its own is set.
    settings.https = GnomeProxy(https.get(), Kind::Http);
    if (settings.https.direct())
        settings.https = settings.http;
    settings.socks = GnomeProxy(socks.get(), Kind::Socks5h);
    settings.exceptions = NoProxyList(StringListKey(proxy.get(), "ignore-hosts"));
    return settings;
}

DesktopProxySettings ReadPlasmaProxySettings()
{
    // The user's own folder comes first and must be read last, to win.
    QStringList folders = QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation);
    std::reverse(folders.begin(), folders.end());
    KioEntries entries;
    for (const QString &folder : folders) {
        QFile file(folder + QLatin1String("/kioslaverc"));
        if (file.open(QIODevice::ReadOnly))
            ReadProxyGroup(file.readAll(), entries);
    }
    return FromKioEntries(entries);
}

} // namespace

Desktop CurrentDesktop()
{
    const QStringList current = qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(QLatin1Char(':'), Qt::SkipEmptyParts);
    for (const QString &name : current) {
        if (name.compare(QLatin1String("GNOME"), Qt::CaseInsensitive) == 0)
            return Desktop::Gnome;
        if (name.compare(QLatin1String("KDE"), Qt::CaseInsensitive) == 0)
            return Desktop::Plasma;
    }
    if (!current.isEmpty())
        return Desktop::Other;
    // "gnome", "gnome-xorg", "plasma", "plasmawayland"; older display managers give a path.
    const QString session = qEnvironmentVariable("DESKTOP_SESSION").section(QLatin1Char('/'), -1).toLower();
    if (session.startsWith(QLatin1String("gnome")))
        return Desktop::Gnome;
    if (session.startsWith(QLatin1String("plasma")) || session.startsWith(QLatin1String("kde")))
        return Desktop::Plasma;
    return Desktop::Other;
}

std::optional<ProxyChoice> DesktopProxyFor(const QUrl &url)
{
    switch (CurrentDesktop()) {
    case Desktop::Gnome:
        return ChooseDesktopProxy(ReadGnomeProxySettings(), url);
    case Desktop::Plasma:
        return ChooseDesktopProxy(ReadPlasmaProxySettings(), url);
    case Desktop::Other:
        break;
    }
    return std::nullopt;
}

} // namespace velmora::net
