// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "catalogue/core/listformat.h"

namespace velmora {

QStringList SplitListLines(const QString &text)
{
    QStringList lines;
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        if (text.at(i) != QLatin1Char('\r'))
            continue;
        lines << text.mid(start, i - start);
        if (i + 1 < n && text.at(i + 1) == QLatin1Char('\n'))
            ++i;
        start = i + 1;
    }
    if (start < n)
        lines << text.mid(start);
    return lines;
}

bool CutListLine(const QString &line, ListEntry &entry)
{
    static const QString sep = QStringLiteral("::=");
    entry = ListEntry();
    const qsizetype p1 = line.indexOf(sep);
    if (p1 < 0)
        return false;
    const qsizetype p2 = line.indexOf(sep, p1 + sep.size());
    if (p2 < 0)
        return false;
    entry.URL = line.left(p1);
    entry.Key = line.mid(p1 + sep.size(), p2 - p1 - sep.size());
    entry.Category = line.mid(p2 + sep.size());
    return !entry.URL.isEmpty() && !entry.Key.isEmpty() && !entry.Category.isEmpty();
}

} // namespace velmora
