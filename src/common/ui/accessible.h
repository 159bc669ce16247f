// SPDX-FileCopyrightText: 2026 Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Screen-reader support for controls the program draws itself. Qt knows the
// role of its own widgets; a plain QWidget that paints a picture button or a
// link reads as an unnamed "client" area. A class registered here reads with
// the given role and with the accessible name and description set on each
// widget; buttons and links also offer the press action, which calls the
// widget's click() slot as a mouse click would.
#include <QAccessible>

namespace velmora {

// `className` as QMetaObject spells it ("velmora::PictureButton").
// Registering a class twice keeps the first role.
void RegisterDrawnControl(const char *className, QAccessible::Role role);

} // namespace velmora
