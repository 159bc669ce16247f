// SPDX-FileCopyrightText: 2026 Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/core/settings.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>
#include <QUrl>

#include <algorithm>

namespace velmora {

namespace {

QString Key(Server which)
{
    return which == Server::Catalogue ? QStringLiteral("servers/catalogue") : QStringLiteral("servers/search");
}

// Named by path rather than by organisation and application name, so that
// every program of the package, whatever it calls itself, reads the one
// file, and $XDG_CONFIG_HOME is honoured at each call.
QSettings OpenSettings()
{
    return QSettings(SettingsFile(), QSettings::IniFormat);
}

QString SaveFolderKey(CatalogueKind kind)
{
    return kind == CatalogueKind::Anime ? QStringLiteral("save/anime") : QStringLiteral("save/music");
}

} // namespace

QString StoredSaveFolder(CatalogueKind kind)
{
    return OpenSettings().value(SaveFolderKey(kind)).toString();
}

StoreResult StoreSaveFolder(CatalogueKind kind, const QString &folder)
{
    QSettings settings = OpenSettings();
    settings.setValue(SaveFolderKey(kind), folder);
    settings.sync();
    return settings.status() == QSettings::NoError ? StoreResult::Stored : StoreResult::NotWritable;
}

QString SettingsFile()
{
    QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (config.isEmpty())
        config = QDir::home().filePath(QStringLiteral(".config"));
    return QDir(config).filePath(QStringLiteral("velmora/velmora.conf"));
}

QString ServerVariable(Server which)
{
    return which == Server::Catalogue ? QStringLiteral("VELMORA_CATALOGUE_SERVER")
                                      : QStringLiteral("VELMORA_SEARCH_SERVER");
}

QString ServerFromEnvironment(Server which)
{
    return qEnvironmentVariable(ServerVariable(which).toLatin1().constData()).trimmed();
}

QString StoredServer(Server which)
{
    // A hand-edited file may hold anything: what is no server does not count.
    const QString stored = OpenSettings().value(Key(which)).toString();
    return CheckServer(stored).value_or(QString());
}

QString ServerAddress(Server which)
{
    const QString fromEnvironment = ServerFromEnvironment(which);
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
    const QString stored = StoredServer(which);
    return stored.isEmpty() ? kDefaultServer : stored;
}

StoreResult StoreServer(Server which, const QString &hostPort)
{
    QSettings settings = OpenSettings();
    if (hostPort.isEmpty())
        settings.remove(Key(which));
    else
        settings.setValue(Key(which), hostPort);
    settings.sync();
    return settings.status() == QSettings::NoError ? StoreResult::Stored : StoreResult::NotWritable;
}

DownloadLimits StoredDownloadLimits()
{
    const QSettings settings = OpenSettings();
    DownloadLimits limits;
    limits.connections = std::clamp(settings.value(QStringLiteral("download/connections"), limits.connections).toInt(),
                                    1, kMaxDownloadConnections);
    limits.bytesPerSecond = std::max<qint64>(0, settings.value(QStringLiteral("download/rate-limit"), 0).toLongLong());
    return limits;
}

StoreResult StoreDownloadLimits(const DownloadLimits &limits)
{
    QSettings settings = OpenSettings();
    settings.setValue(QStringLiteral("download/connections"), limits.connections);
    settings.setValue(QStringLiteral("download/rate-limit"), limits.bytesPerSecond);
    settings.sync();
    return settings.status() == QSettings::NoError ? StoreResult::Stored : StoreResult::NotWritable;
}

std::optional<QString> CheckServer(const QString &text)
{
    const QString t = text.trimmed();
    // QUrl would take these as user, path, query or fragment, or drop an empty port.
    static const QString kNotInServer = QStringLiteral("/?#@\\ \t");
    if (t.isEmpty() || t.endsWith(QLatin1Char(':')))
        return std::nullopt;
    for (const QChar c : t) {
        if (kNotInServer.contains(c))
            return std::nullopt;
    }
    const QUrl url(QStringLiteral("http://") + t, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty())
        return std::nullopt;
    QString host = url.host(QUrl::FullyEncoded);
    if (host.contains(QLatin1Char(':')))
        host = QLatin1Char('[') + host + QLatin1Char(']');
    const int port = url.port();
    if (port == 0)
        return std::nullopt;
    return port > 0 ? host + QLatin1Char(':') + QString::number(port) : host;
}

} // namespace velmora
