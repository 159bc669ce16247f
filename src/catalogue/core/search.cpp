// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "catalogue/core/search.h"

#include "catalogue/core/inet.h"

#include <QUrl>

namespace velmora {

QString BuildSearchAddress(const QString &host, const QString &words)
{
    return QStringLiteral("http://") + host + QStringLiteral("/m?rn=&tn=baidump3&ct=134217728&word=")
        + QString::fromLatin1(QUrl::toPercentEncoding(words)) + QStringLiteral("&lm=0");
}

SearchOutcome SearchOutcomeOf(const FetchResult &page)
{
    switch (page.status) {
    case FetchStatus::Ok:
    case FetchStatus::Cut:
        return SearchOutcome::Answered;
    case FetchStatus::ErrorAnswer:
        return SearchOutcome::ErrorAnswer;
    case FetchStatus::Cancelled:
        return SearchOutcome::Stopped;
    case FetchStatus::Failed:
    case FetchStatus::Refused:
        break;
    }
    return SearchOutcome::Unreachable;
}

} // namespace velmora
