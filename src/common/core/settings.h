// SPDX-FileCopyrightText: 2026 Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The servers the program talks to. Each is, in this order of precedence:
// its environment variable (for scripts and tests), the user's setting
// (~/.config/velmora/velmora.conf, written by the command line and the
// settings dialog), or the built-in default.
#include <QString>

#include <optional>

namespace velmora {

enum class Server {
    Catalogue,  // serves the catalogue lists
    Search,     // the music search service
};

inline const QString kDefaultServer = QStringLiteral("127.0.0.1:8417");

// host[:port] of the server as the program uses it now.
QString ServerAddress(Server which);
inline QString CatalogueServer() { return ServerAddress(Server::Catalogue); }
inline QString SearchServer() { return ServerAddress(Server::Search); }

// The environment variable that overrides the setting, and its value
// (empty when unset or blank).
QString ServerVariable(Server which);
QString ServerFromEnvironment(Server which);

// The user's setting alone; empty when there is none.
QString StoredServer(Server which);

enum class StoreResult {
    Stored,
    NotWritable,  // the settings file could not be written
};

// Writes the user's setting (empty removes it: the default applies again).
// `hostPort` must have passed CheckServer.
StoreResult StoreServer(Server which, const QString &hostPort);

// The two catalogues, each with a save folder of its own.
enum class CatalogueKind {
    Anime,
    Music,
};

// The folder the user last saved a download of this kind into, as kept in
// the settings file; empty when there is none yet.
QString StoredSaveFolder(CatalogueKind kind);
// Keeps `folder` as the one last saved into for this kind.
StoreResult StoreSaveFolder(CatalogueKind kind, const QString &folder);

// How much of a server one download may take: its connections at once
// (1 to 16) and its bytes per second over all of them (0 = no limit).
struct DownloadLimits
{
    int connections = 4;
    qint64 bytesPerSecond = 0;
};
inline constexpr int kMaxDownloadConnections = 16;

// The user's setting, or the defaults; values out of range are brought back into it.
DownloadLimits StoredDownloadLimits();
StoreResult StoreDownloadLimits(const DownloadLimits &limits);

// The file the settings live in.
QString SettingsFile();

// `text` as a server: host name, IPv4 address or [IPv6] address, optionally
// ":port" (1 to 65535), nothing else. Returns the tidy form (trimmed, the host
// in lower case), or nothing when the text is no such server.
std::optional<QString> CheckServer(const QString &text);

} // namespace velmora
