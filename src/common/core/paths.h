// SPDX-FileCopyrightText: 2026 Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The user's own folders the program writes into. An installed program never
// writes beside its executable (often /usr/bin, read-only or shared by every
// user), and a build's folder is thrown away with the build, so every run
// uses the same per-user folders wherever the executable lives.
#include <QString>

namespace velmora {

// The user's music folder ($XDG_MUSIC_DIR) when it exists, otherwise the home folder.
QString UserMusicFolder();

// The user's cache folder ($XDG_CACHE_HOME, ~/.cache by default), created
// when missing as that convention asks; the system's temporary folder when
// there is no home to put it in.
QString UserCacheFolder();

} // namespace velmora
