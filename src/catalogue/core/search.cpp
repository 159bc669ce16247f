// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "catalogue/core/search.h"

#include <QUrl>

namespace velmora {

QString BuildSearchAddress(const QString &host, const QString &words)
{
    return QStringLiteral("http://") + host + QStringLiteral("/m?rn=&tn=baidump3&ct=134217728&word=")
        + QString::fromLatin1(QUrl::toPercentEncoding(words)) + QStringLiteral("&lm=0");
}

} // namespace velmora
