// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "catalogue/core/seenstore.h"

#include "common/core/paths.h"

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace velmora {

namespace {

constexpr quint32 kMagic = 0x564d5331;  // "VMS1"
const QString kSuffix = QStringLiteral(".seen");

QString SeenFolder()
{
    return QDir(UserCacheFolder()).filePath(QStringLiteral("velmora/seen"));
}

// Keeps the newest kMaxSeenLists states, the one just written among them;
// the others were loaded longest ago.
void PruneOldStates(const QString &written)
{
    const QFileInfoList states = QDir(SeenFolder()).entryInfoList({QLatin1Char('*') + kSuffix}, QDir::Files, QDir::Time);
    qsizetype kept = 1;  // the one just written
    for (const QFileInfo &state : states) {
        if (state.absoluteFilePath() == QFileInfo(written).absoluteFilePath())
            continue;
        if (kept < kMaxSeenLists)
            ++kept;
        else
            QFile::remove(state.absoluteFilePath());
    }
}

} // namespace

AddressDigest DigestOf(QStringView text)
{
    quint64 h = 14695981039346656037ull;
    for (const QChar c : text) {
        h ^= c.unicode();
        h *= 1099511628211ull;
    }
    return h;
}

void SeenList::updatePage(const QString &pageUrl, const QList<AddressDigest> &items, bool came)
{
    const AddressDigest page = DigestOf(pageUrl);
    if (!m_pages.contains(page))
        m_order << page;
    QList<AddressDigest> &kept = m_pages[page];
    // Several entries of a list may name one page, each with its own key:
    // within one load, what each of them found is added to the others'.
    const bool firstThisLoad = !m_updated.contains(page);
    if ((came && firstThisLoad) || kept.isEmpty()) {
        kept = items;
    } else {
        const QSet<AddressDigest> before(kept.cbegin(), kept.cend());
        for (const AddressDigest item : items) {
            if (!before.contains(item))
                kept << item;
        }
    }
    m_updated.insert(page);
}

void SeenList::dropPagesNotUpdated()
{
    QList<AddressDigest> order;
    for (const AddressDigest page : std::as_const(m_order)) {
        if (m_updated.contains(page))
            order << page;
        else
            m_pages.remove(page);
    }
    m_order = order;
}

qsizetype SeenList::itemCount() const
{
    qsizetype n = 0;
    for (const QList<AddressDigest> &items : m_pages)
        n += items.size();
    return n;
}

QString SeenFile(const QString &listUrl)
{
    return QDir(SeenFolder()).filePath(QString::number(DigestOf(listUrl), 16).rightJustified(16, QLatin1Char('0')) + kSuffix);
}

SeenList LoadSeen(const QString &listUrl)
{
    SeenList seen;
    QFile file(SeenFile(listUrl));
    if (!file.open(QIODevice::ReadOnly))
        return seen;
    QDataStream in(&file);
    in.setVersion(QDataStream::Qt_6_0);
    quint32 magic = 0, pages = 0;
    QString url;
    in >> magic >> url >> pages;
    // Another list whose address has the same digest is not this one.
    if (magic != kMagic || url != listUrl || in.status() != QDataStream::Ok)
        return seen;
    SeenList read;
    qsizetype total = 0;
    for (quint32 p = 0; p < pages; ++p) {
        quint64 page = 0;
        quint32 count = 0;
        in >> page >> count;
        total += count;
        if (in.status() != QDataStream::Ok || total > kMaxSeenItems)
            return seen;  // damaged: as if never seen
        QList<AddressDigest> items(count);
        for (quint32 i = 0; i < count; ++i)
            in >> items[i];
        read.m_order << page;
        read.m_pages.insert(page, items);
        read.m_all.unite(QSet<AddressDigest>(items.cbegin(), items.cend()));
    }
    if (in.status() != QDataStream::Ok)
        return seen;
    read.m_known = true;
    return read;
}

bool SaveSeen(const QString &listUrl, const SeenList &seen)
{
    if (!QDir().mkpath(SeenFolder()))
        return false;
    const QString path = SeenFile(listUrl);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QDataStream out(&file);
    out.setVersion(QDataStream::Qt_6_0);
    // Pages in list order until the bound: what a huge list holds past it
    // counts as new again next time, which is better than a state that grows
    // without end.
    qsizetype budget = kMaxSeenItems;
    QList<AddressDigest> pages;
    for (const AddressDigest page : seen.m_order) {
        if (budget <= 0)
            break;
        pages << page;
        budget -= seen.m_pages.value(page).size();
    }
    out << kMagic << listUrl << quint32(pages.size());
    budget = kMaxSeenItems;
    for (const AddressDigest page : std::as_const(pages)) {
        const QList<AddressDigest> items = seen.m_pages.value(page);
        const qsizetype n = std::min(budget, items.size());
        out << page << quint32(n);
        for (qsizetype i = 0; i < n; ++i)
            out << items.at(i);
        budget -= n;
    }
    if (out.status() != QDataStream::Ok || !file.commit())
        return false;
    PruneOldStates(path);
    return true;
}

} // namespace velmora
