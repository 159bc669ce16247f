// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "catalogue/core/linkrefresh.h"

#include "catalogue/core/inet.h"
#include "catalogue/core/pagescan.h"

namespace velmora {

LinkOrigin OriginOfItem(const CatalogueTree &tree, const QList<ScannedPage> &pages, qsizetype index)
{
    for (const ScannedPage &page : pages) {
        if (index >= page.firstItem && index < page.endItem)
            return {page.url, page.key, tree.text(index)};
    }
    return {};
}

FoundLink FindLinkAgain(QStringView page, const LinkOrigin &origin, const QString &oldAddress)
{
    FoundLink found;
    ScanPage(page, origin.key, [&](const QString &address, const QString &text) {
        if (text != origin.text)
            return true;
        if (address == oldAddress) {
            found = {LinkLookup::Same, QString()};
            return false;
        }
        if (found.lookup == LinkLookup::Gone)
            found = {LinkLookup::Moved, address};
        return true;
    });
    return found;
}

QString PageLinkRefresher::FreshAddress(const QString &address, int /*status*/)
{
    if (m_origin.pageUrl.isEmpty())
        return QString();  // not an item of a catalogue page
    const FetchResult page = m_inet.Fetch(m_origin.pageUrl);
    if (page.status != FetchStatus::Ok)
        return QString();
    const FoundLink found = FindLinkAgain(page.text(), m_origin, address);
    return found.lookup == LinkLookup::Moved ? found.address : QString();
}

} // namespace velmora
