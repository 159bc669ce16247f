// SPDX-FileCopyrightText: 2026 Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Screen-reader support for controls the program draws itself, for its
// windows, and for news that would otherwise only show as a changed label.
//
// Qt knows the role of its own widgets; a plain QWidget that paints a picture
// button or a link, or that is a whole window, reads as an unnamed "filler".
// A class registered here reads with the given role and with the accessible
// name and description set on each widget; buttons and links also offer the
// press action, which calls the widget's click() slot as a mouse click would.
#include <QAccessible>

class QString;
class QWidget;

namespace velmora {

// `className` as QMetaObject spells it ("velmora::PictureButton").
// Registering a class twice keeps the first role.
void RegisterDrawnControl(const char *className, QAccessible::Role role);

// A top-level window reads as what it is, a frame (QAccessible::Window) for
// a working window or a dialog (QAccessible::Dialog) for one that asks or
// tells, and says what it is for in its description, since several windows
// share the product title. Call it first in the window's constructor, before
// anything asks for the window's interface.
void DescribeWindow(QWidget *window, QAccessible::Role role, const QString &description);

// Has a screen reader speak `text` now: a notification among the window's
// children comes up with it (AT-SPI readers speak a notification as it
// shows), and an alert event goes out for readers that listen for those.
// The notification stays with its text until the next announcement; an
// empty text withdraws it.
void Announce(QWidget *window, const QString &text);

} // namespace velmora
