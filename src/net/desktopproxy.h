// SPDX-FileCopyrightText: 2026 Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The proxy the desktop's own settings name, read by us: GNOME keeps them in
// GSettings (org.gnome.system.proxy, on Xorg and Wayland alike), KDE Plasma
// in kioslaverc. Qt's system query reads neither on a default Debian desktop.
// A proxy script (PAC) or automatic detection is not evaluated here: the
// desktop then leaves the choice to Qt's query.
#include "net/proxy.h"

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <optional>

namespace velmora::net {

enum class Desktop { Other, Gnome, Plasma };

// The desktop the user runs, from XDG_CURRENT_DESKTOP (a list such as
// "ubuntu:GNOME"), or DESKTOP_SESSION when that is not set.
Desktop CurrentDesktop();

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

// What the settings choose for url; std::nullopt when they leave it to Qt.
std::optional<ProxyChoice> ChooseDesktopProxy(const DesktopProxySettings &settings, const QUrl &url);

// GNOME's settings through GSettings; Undecided when the schema is not installed.
DesktopProxySettings ReadGnomeProxySettings();

// Plasma's settings from one kioslaverc text (the [Proxy Settings] group).
DesktopProxySettings ParseKioslaverc(const QByteArray &text);
// The same from the user's kioslaverc ($XDG_CONFIG_HOME), over the system's
// ($XDG_CONFIG_DIRS); with none of them the desktop's default, no proxy.
DesktopProxySettings ReadPlasmaProxySettings();

// The current desktop's choice for url; std::nullopt when it makes none.
std::optional<ProxyChoice> DesktopProxyFor(const QUrl &url);

} // namespace velmora::net
