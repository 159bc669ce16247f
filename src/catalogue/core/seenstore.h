// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// What the previous load of a list showed, so that the next one can tell
// which items are new. Kept per list address in the user's cache folder
// ($XDG_CACHE_HOME/velmora/seen), page by page: a page that did not come this
// time keeps what it listed before. Items are kept as 64-bit digests of
// their addresses, never the addresses themselves, so a state has a fixed
// cost per item and holds nothing that needs escaping.
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>

namespace velmora {

using AddressDigest = quint64;

// The digest items and pages are kept by: the same for the same text in every
// run and every build (FNV-1a over the UTF-16 code units).
AddressDigest DigestOf(QStringView text);

// Bounds of what is kept: items per list, and lists in all (the lists
// loaded longest ago go first).
inline constexpr qsizetype kMaxSeenItems = 1000000;
inline constexpr qsizetype kMaxSeenLists = 64;

class SeenList
{
public:
    // A previous load of the list was kept: only then can an item be new.
    bool known() const { return m_known; }
    // The item was listed by the previous load, on any of its pages.
    bool contains(AddressDigest item) const { return m_all.contains(item); }

    // This load's items of one page. A page that came whole replaces what it
    // listed before; one that did not (no answer, an error page, a cut body)
    // only adds to it, as does the same page again in the same load.
    void updatePage(const QString &pageUrl, const QList<AddressDigest> &items, bool came);
    // Forgets the pages this load did not reach; only for a load that read
    // its whole list.
    void dropPagesNotUpdated();

    qsizetype itemCount() const;

private:
    friend bool SaveSeen(const QString &listUrl, const SeenList &seen);
    friend SeenList LoadSeen(const QString &listUrl);

    bool m_known = false;
    QHash<AddressDigest, QList<AddressDigest>> m_pages;  // by page address digest
    QList<AddressDigest> m_order;                        // the pages in list order
    QSet<AddressDigest> m_updated;                       // pages this load reached
    QSet<AddressDigest> m_all;                           // every item as loaded (not as updated)
};

// The file the state of listUrl lives in.
QString SeenFile(const QString &listUrl);

// The kept state of listUrl; a missing, unreadable or damaged file is a list
// never seen.
SeenList LoadSeen(const QString &listUrl);

// Writes the state of listUrl whole or not at all (the previous state stays
// when anything fails), bounded to kMaxSeenItems, then removes the oldest
// states beyond kMaxSeenLists. False when it could not be written.
bool SaveSeen(const QString &listUrl, const SeenList &seen);

} // namespace velmora
