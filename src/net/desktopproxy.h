// SPDX-FileCopyrightText: 2026 Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The proxy the desktop's own settings name, read by us: GNOME keeps them in
// GSettings (org.gnome.system.proxy, on Xorg and Wayland alike), KDE Plasma
// in kioslaverc. Qt's system query reads neither on a default Debian desktop.
// A proxy script (PAC) or automatic detection is not evaluated here: the
// desktop then leaves the choice to Qt's query.
#include "net/proxy.h"

#include <QUrl>

#include <optional>

namespace velmora::net {

enum class Desktop { Other, Gnome, Plasma };

// The desktop the user runs, from XDG_CURRENT_DESKTOP (a list such as
// "ubuntu:GNOME"), or DESKTOP_SESSION when that is not set.
Desktop CurrentDesktop();

// The current desktop's choice for url; std::nullopt when it makes none.
std::optional<ProxyChoice> DesktopProxyFor(const QUrl &url);

} // namespace velmora::net
