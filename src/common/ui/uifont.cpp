// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "common/ui/uifont.h"

#include <QStringList>

namespace velmora {

QFont UiFont(qreal pointSize)
{
    QFont f;
    f.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("Noto Sans CJK SC"),
                   QStringLiteral("Noto Sans SC"), QStringLiteral("WenQuanYi Micro Hei"),
                   QStringLiteral("sans-serif")});
    f.setPointSizeF(pointSize);
    return f;
}

} // namespace velmora
