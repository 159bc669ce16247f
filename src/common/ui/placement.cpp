// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "common/ui/placement.h"

#include <QScreen>
#include <QStyle>
#include <QWidget>
#include <QWindow>

#include <algorithm>

namespace velmora {

namespace {

// One axis: a span that fits moves in just far enough; a longer one starts
// where the area starts.
int Inside(int start, int length, int areaStart, int areaLength)
{
    if (length >= areaLength)
        return areaStart;
    return std::clamp(start, areaStart, areaStart + areaLength - length);
}

QRect AvailableArea(const QWidget *window)
{
    const QScreen *screen = window->screen();
    return screen ? screen->availableGeometry() : QRect();
}

} // namespace

QRect FrameInside(const QRect &frame, const QRect &area)
{
    if (area.isEmpty())
        return frame;
    return QRect(QPoint(Inside(frame.x(), frame.width(), area.x(), area.width()),
                        Inside(frame.y(), frame.height(), area.y(), area.height())),
                 frame.size());
}

QMargins FrameMarginsOf(const QWidget *window)
{
    if (window->isVisible() && window->windowHandle()) {
        const QMargins real = window->windowHandle()->frameMargins();
        if (!real.isNull())
            return real;
    }
    if (window->windowFlags() & Qt::FramelessWindowHint)
        return QMargins();
    // Not yet decorated by the window manager: a title bar as the style
    // draws one, and thin borders. Too much only moves the window a little
    // further in; too little could leave the close box outside.
    const int border = 4;
    const int title = window->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, window);
    return QMargins(border, std::max(title, 24) + border, border, border);
}

QSize RoomOnScreen(const QWidget *window, const QScreen *screen)
{
    if (!screen)
        return QSize();
    const QMargins m = FrameMarginsOf(window);
    return screen->availableGeometry().size().shrunkBy(m);
}

void PlaceOnScreen(QWidget *window, Centre centre)
{
    const QRect area = AvailableArea(window);
    const QMargins m = FrameMarginsOf(window);
    QRect frame(QPoint(0, 0), window->size().grownBy(m));
    const QWidget *owner = window->parentWidget() ? window->parentWidget()->window() : nullptr;
    if (centre == Centre::OnOwner && owner && owner->isVisible())
        frame.moveCenter(owner->frameGeometry().center());
    else
        frame.moveCenter(area.center());
    // move() places the frame's top left corner.
    window->move(FrameInside(frame, area).topLeft());
}

} // namespace velmora
