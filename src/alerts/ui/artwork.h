#pragma once
// Pictures of the problem dialogs, drawn in code.
#include <QPixmap>

namespace velmora {

// The alert icon (41 x 34) shown beside the introduction text.
QPixmap AlertIconPicture();
// The banner (450 x 61) across the top of both dialogs.
QPixmap AlertBannerPicture();

} // namespace velmora
