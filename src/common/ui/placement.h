// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Where a window opens: wholly on its screen, the title bar and close box
// included, at any display scale. Sizes are logical pixels, frames included.
#include <QMargins>
#include <QRect>

class QScreen;
class QWidget;

namespace velmora {

// The frame moved as little as it takes to lie inside the area; a frame
// larger than the area keeps its top left corner (the title bar) inside.
QRect FrameInside(const QRect &frame, const QRect &area);

// The window manager's frame around the window: the real one once the
// window is on the screen, an estimate of a title bar and borders before.
QMargins FrameMarginsOf(const QWidget *window);

// The largest client size whose frame fits the available area of the screen.
QSize RoomOnScreen(const QWidget *window, const QScreen *screen);

// Centres the window's frame on the available area of its screen, or over
// the window it belongs to, and keeps it inside that area.
enum class Centre { OnScreen, OnOwner };
void PlaceOnScreen(QWidget *window, Centre centre = Centre::OnScreen);

} // namespace velmora
