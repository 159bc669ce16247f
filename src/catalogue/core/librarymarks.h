// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// What the user already has and what is new: after a load or a search each
// item is marked as on disk (in the folder downloads go to), on disk but
// failing its check, new since the previous load of the same list, or
// nothing. Marks never touch an item's text, Tag or place in the tree.
#include "catalogue/core/catalogueload.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>

namespace velmora {

enum class LibraryMark {
    None,
    OnDisk,          // a file for it lies in the download folder
    OnDiskMismatch,  // ... and its kept check says it does not match
    New,             // not listed by the previous load of this list
};

// "已下载", "已下载（校验不符）", "新", or "" for None.
QString MarkText(LibraryMark mark);

// The file name Save-As proposes for an item's address: whatever the
// download itself proposes, so the two never disagree.
QString ProposedSaveName(const QString &address);

// The download folder as it is now, read once: the names of its files and
// the origin address kept with each.
class LibraryFolder
{
public:
    explicit LibraryFolder(const QString &folder);

    // OnDisk, OnDiskMismatch or None for an item with this address: a file
    // with the name Save-As would propose, or one fetched from this address.
    LibraryMark presenceOf(const QString &address) const;

private:
    QString m_folder;
    QSet<QString> m_names;
    QHash<QByteArray, QString> m_byOrigin;  // origin attribute -> file name
};

// The marks of every node of tree, at the node's index (slot 0 and the
// root and groups: None), from the download folder and the kept state of
// listUrl, which is then brought up to this load: pages is what the load
// scanned, and listRead says it read the whole list (pages it did not reach
// are forgotten only then).
QList<LibraryMark> MarkLoad(const CatalogueTree &tree, const QList<ScannedPage> &pages, const QString &listUrl,
                            bool listRead, const QString &folder);

} // namespace velmora
