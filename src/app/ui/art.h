// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The start-up windows' pictures, drawn in code.
#include <QCursor>
#include <QIcon>
#include <QPixmap>
#include <QRect>

// Each picture is drawn for a device pixel ratio (dpr): its size is given in
// logical pixels and it holds dpr times as many device pixels.

namespace velmora::art {

// 450 x 300: the splash picture; its bottom band is white for the message.
QPixmap SplashImage(qreal dpr = 1.0);
// 481 x 357: the chooser's background with its titles, credits and logo.
QPixmap ChooserBackground(qreal dpr = 1.0);
// One face of a chooser button, drawn over the part of `background` it covers.
// state: 0 = normal, 1 = hover, 2 = pressed. Drawn at the background's ratio.
QPixmap AnimeButtonImage(const QPixmap &background, const QRect &where, int state);
QPixmap MusicButtonImage(const QPixmap &background, const QRect &where, int state);
// 32 x 32 pointing hand, hot spot at the finger tip.
QPixmap HandCursorImage();
QCursor HandCursor();
// The program's icon at the usual sizes.
QIcon AppIcon();
QPixmap AppIconImage(int size);

} // namespace velmora::art
