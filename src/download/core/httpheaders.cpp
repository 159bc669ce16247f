// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "download/core/httpheaders.h"

#include <limits>

namespace velmora {

qint64 LeadingNumber(const QByteArray &text)
{
    const QByteArray t = text.trimmed();
    qint64 value = 0;
    for (char c : t) {
        if (c < '0' || c > '9')
            break;
        if (value > (std::numeric_limits<qint64>::max() - 9) / 10)
            return 0;  // not a length any file has
        value = value * 10 + (c - '0');
    }
    return value;
}

qint64 ContentRangeStart(const QByteArray &value)
{
    QByteArray v = value.trimmed();
    // Range units are compared without regard to case.
    if (!v.toLower().startsWith("bytes"))
        return -1;
    v = v.mid(5).trimmed();
    const int dash = v.indexOf('-');
    if (dash <= 0)
        return -1;
    bool ok = false;
    const qint64 from = v.left(dash).toLongLong(&ok);
    return ok ? from : -1;
}

} // namespace velmora
