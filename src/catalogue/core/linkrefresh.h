// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Finding an expired link again: the page the item came from is fetched once
// more, and the link with the same text under the same entry (the page and
// its key) gives the item's address as the page lists it now.
#include "catalogue/core/catalogueload.h"
#include "download/core/linkrefresher.h"

#include <QString>
#include <QStringView>

namespace velmora {

class Inet;

// Where an item of the tree came from.
struct LinkOrigin
{
    QString pageUrl;
    QString key;
    QString text;  // the item's text as the tree shows it
};

// The origin of the tree's node at index: the page that gave it, its key and
// its text; an empty page for a node that is no item of a scanned page.
LinkOrigin OriginOfItem(const CatalogueTree &tree, const QList<ScannedPage> &pages, qsizetype index);

enum class LinkLookup {
    Moved,    // listed under another address
    Same,     // listed under the address it had
    Gone,     // no link with that text and key on the page
};

struct FoundLink
{
    LinkLookup lookup = LinkLookup::Gone;
    QString address;  // for Moved: the new address
};

// Looks for the item on a page's text: a link taken for the key whose text
// is the item's. One with the old address means Same, even beside others.
FoundLink FindLinkAgain(QStringView page, const LinkOrigin &origin, const QString &oldAddress);

// Fetches the item's page again through inet and looks there.
class PageLinkRefresher : public ILinkRefresher
{
public:
    PageLinkRefresher(Inet &inet, LinkOrigin origin) : m_inet(inet), m_origin(std::move(origin)) {}
    QString FreshAddress(const QString &address, int status) override;

private:
    Inet &m_inet;
    LinkOrigin m_origin;
};

} // namespace velmora
