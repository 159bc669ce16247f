// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Pictures of the problem dialogs, drawn in code for a device pixel ratio.
#include <QPixmap>

namespace velmora {

// The alert icon (41 x 34) shown beside the introduction text.
QPixmap AlertIconPicture(qreal dpr = 1.0);
// The banner (450 x 61) across the top of both dialogs.
QPixmap AlertBannerPicture(qreal dpr = 1.0);

} // namespace velmora
