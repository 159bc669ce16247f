// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "catalogue/core/librarymarks.h"

#include "catalogue/core/inet.h"
#include "catalogue/core/seenstore.h"
#include "download/core/digest.h"
#include "download/core/engine.h"
#include "download/core/origin.h"

#include <QDir>

namespace velmora {

QString MarkText(LibraryMark mark)
{
    switch (mark) {
    case LibraryMark::None: return QString();
    case LibraryMark::OnDisk: return QStringLiteral("已下载");
    case LibraryMark::OnDiskMismatch: return QStringLiteral("已下载（校验不符）");
    case LibraryMark::New: return QStringLiteral("新");
    }
    return QString();
}

QString ProposedSaveName(const QString &address)
{
    return DefaultNameOf(address);
}

LibraryFolder::LibraryFolder(const QString &folder) : m_folder(folder)
{
    if (folder.isEmpty())
        return;
    const QDir dir(folder);
    const QStringList names = dir.entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QString &name : names) {
        m_names.insert(name);
        const QByteArray origin = ReadAttribute(dir.filePath(name), kOriginAttribute).value_or(QByteArray());
        if (!origin.isEmpty())
            m_byOrigin.insert(origin, name);
    }
}

LibraryMark LibraryFolder::presenceOf(const QString &address) const
{
    QString name = ProposedSaveName(address);
    if (name.isEmpty() || !m_names.contains(name))
        name = m_byOrigin.value(OriginValue(address));
    if (name.isEmpty())
        return LibraryMark::None;
    const QByteArray verdict = ReadAttribute(QDir(m_folder).filePath(name), kVerifyAttribute).value_or(QByteArray());
    return verdict.startsWith("mismatch") ? LibraryMark::OnDiskMismatch : LibraryMark::OnDisk;
}

QList<LibraryMark> MarkLoad(const CatalogueTree &tree, const QList<ScannedPage> &pages, const QString &listUrl,
                            bool listRead, const QString &folder)
{
    QList<LibraryMark> marks(tree.nodeCount() + 1, LibraryMark::None);
    const LibraryFolder library(folder);
    SeenList seen = LoadSeen(listUrl);
    // Every mark comes from the state as the previous load left it; only
    // then is the state brought up to this one.
    QList<QList<AddressDigest>> itemsOfPage;
    itemsOfPage.reserve(pages.size());
    for (const ScannedPage &page : pages) {
        QList<AddressDigest> items;
        items.reserve(page.endItem - page.firstItem);
        for (qsizetype i = page.firstItem; i < page.endItem; ++i) {
            const QString address = tree.tag(i);
            const AddressDigest digest = DigestOf(address);
            items << digest;
            LibraryMark mark = library.presenceOf(address);
            if (mark == LibraryMark::None && seen.known() && !seen.contains(digest))
                mark = LibraryMark::New;
            marks[i] = mark;
        }
        itemsOfPage << items;
    }
    for (qsizetype p = 0; p < pages.size(); ++p)
        seen.updatePage(pages.at(p).url, itemsOfPage.at(p), pages.at(p).status == FetchStatus::Ok);
    if (listRead)
        seen.dropPagesNotUpdated();
    SaveSeen(listUrl, seen);
    return marks;
}

} // namespace velmora
