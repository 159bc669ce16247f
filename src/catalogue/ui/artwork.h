// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The main window's pictures, drawn in code.
#include "catalogue/core/librarymarks.h"

#include <QIcon>
#include <QPixmap>
#include <QSize>

namespace velmora {

// 16 x 16 tree icons: 1 = root and items (a disc with a note), 2 = groups (a folder).
QIcon TreeIcon(int image);
// The third tree icon, for a marked item: the item's disc with a badge in
// the lower right corner, its colour and sign after the mark (a green tick:
// on disk; an orange "!": on disk but failing its check; a blue dot: new).
QIcon MarkedItemIcon(LibraryMark mark);
// Window backgrounds: the anime picture (picRes) and the music picture.
// `size` in logical pixels, drawn for the device pixel ratio `dpr`.
QPixmap AnimeBackground(const QSize &size, qreal dpr = 1.0);
QPixmap MusicBackground(const QSize &size, qreal dpr = 1.0);

} // namespace velmora
