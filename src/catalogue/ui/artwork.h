#pragma once
// The main window's pictures, drawn in code.
#include <QIcon>
#include <QPixmap>
#include <QSize>

namespace velmora {

// 16 x 16 tree icons: 1 = root and items (a disc with a note), 2 = groups (a folder).
QIcon TreeIcon(int image);
// Window backgrounds: the anime picture (picRes) and the music picture.
QPixmap AnimeBackground(const QSize &size);
QPixmap MusicBackground(const QSize &size);

} // namespace velmora
