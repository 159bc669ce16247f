// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
#include <QFont>

namespace velmora {
// The windows are designed for Tahoma; where it is missing the CJK sans face
// stands in, so Chinese captions always render.
QFont UiFont(qreal pointSize);
}
