// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "catalogue/core/catalogueload.h"

#include "catalogue/core/inet.h"
#include "catalogue/core/listformat.h"
#include "catalogue/core/pagescan.h"
#include "catalogue/core/textdecode.h"
#include "common/core/paths.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <utility>

namespace velmora {

QString TempListFolder()
{
    // The load's folder sits in the cache folder itself, not in a folder of
    // the program's own there, which would stay behind empty.
    return UserCacheFolder();
}

namespace {

// The list goes through "temp.dat" in a folder of this load's own, read back
// whole and deleted with its folder at once, before any page is fetched.
// Should no file be possible, the text in hand is read instead: the
// catalogue is not lost to a disk problem.
QStringList ListLinesThroughFile(const QString &list)
{
    QTemporaryDir folder(QDir(TempListFolder()).filePath(kLoadFolderPrefix + QStringLiteral("XXXXXX")));
    if (!folder.isValid())
        return SplitListLines(list);
    const QString path = folder.filePath(QStringLiteral("temp.dat"));
    QFile out(path);
    bool written = false;
    if (out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        const QByteArray bytes = list.toUtf8();
        written = out.write(bytes) == bytes.size();
        out.close();
    }
    QFile in(path);
    if (written && in.open(QIODevice::ReadOnly))
        return SplitListLines(QString::fromUtf8(in.readAll()));
    return SplitListLines(list);
}

struct ListLine
{
    bool good = false;
    ListEntry entry;
};

// The list's lines that are not empty, each cut into its entry.
QList<ListLine> ReadListLines(const QStringList &lines)
{
    QList<ListLine> out;
    for (const QString &line : lines) {
        if (line.isEmpty())
            continue;
        ListLine l;
        l.good = CutListLine(line, l.entry);
        out << l;
    }
    return out;
}

// Keeps the pages of the good entries coming ahead of the scan, which takes
// them in list order: at most kPagesAhead are fetched or fetching at a time,
// so however slow one page is, no more than that wait in memory behind it.
// Whatever has not been taken when it goes is stopped.
class PagePrefetch
{
public:
    static constexpr qsizetype kPagesAhead = kFetchesInAll;

    PagePrefetch(Inet &inet, const QStringList &urls) : m_inet(inet), m_urls(urls) { TopUp(); }
    ~PagePrefetch()
    {
        for (const Inet::Ticket t : m_pending)
            m_inet.Drop(t);
    }
    PagePrefetch(const PagePrefetch &) = delete;
    PagePrefetch &operator=(const PagePrefetch &) = delete;

    // The next page in list order, once it is in.
    FetchResult Take()
    {
        if (m_pending.isEmpty())
            return {};
        const Inet::Ticket ticket = m_pending.takeFirst();
        TopUp();
        return m_inet.Wait(ticket);
    }

private:
    void TopUp()
    {
        while (m_started < m_urls.size() && m_pending.size() < kPagesAhead)
            m_pending << m_inet.Start(m_urls.at(m_started++));
    }

    Inet &m_inet;
    const QStringList m_urls;
    qsizetype m_started = 0;
    QList<Inet::Ticket> m_pending;  // started, not yet taken, in list order
};

} // namespace

void NodeClick(CatalogueTree &tree, CatalogueState &state, qsizetype index)
{
    if (!tree.exists(index))
        return;
    const bool noTag = tree.tag(index).isEmpty();
    const qsizetype opened = state.intExpandedIndex;
    if (opened != 0 && opened != 1 && opened != 2 && noTag && opened != index)
        tree.setExpanded(opened, false);
    if (noTag) {
        state.intExpandedIndex = index;
        if (!tree.isExpanded(index))
            tree.setExpanded(index, true);
    }
    state.intSelectedIndex = index;
}

void CatalogueLoader::InitNode()
{
    m_tree.clear();
    m_state.intNodeCount = 1;
    m_state.intSelectedIndex = 0;
    m_state.intExpandedIndex = 0;
    m_pages.clear();
    m_listRead = false;
    const qsizetype root = m_tree.addNode(QString(), kRootKey, kRootText, ImageRootOrItem);
    m_tree.setExpanded(root, true);
}

void CatalogueLoader::LoadTrackList(const QString &URL, const QString &Key, const QString &Category)
{
    FillGroup(URL, Key, Category, [&] {
        const FetchResult page = m_inet.Fetch(URL);
        Report(URL, page);
        return page;
    });
}

// Adds the group, then scans the page that fetchPage brings. Returns false
// when the load is to stop.
bool CatalogueLoader::FillGroup(const QString &URL, const QString &Key, const QString &Category,
                                const std::function<FetchResult()> &fetchPage)
{
    if (m_state.blnQuit)
        return false;
    const QString groupKey = GroupKey(Category);
    qsizetype group = m_tree.addNode(kRootKey, groupKey, Category, ImageGroup);
    if (group == 0)
        group = m_tree.indexOfKey(groupKey);  // the group exists: it receives these items too
    if (m_state.intNodeCount == 1)
        m_tree.setExpanded(group, true);
    if (m_state.blnQuit)
        return false;

    const FetchResult page = fetchPage();
    if (m_state.blnQuit || page.status == FetchStatus::Cancelled)
        return false;
    ScannedPage scanned{URL, Key, Category, page.status, m_tree.nodeCount() + 1, 0};
    // Where the group is now: the tree may have been rebuilt while the page came.
    // Without it the items are counted but not added.
    const qsizetype parent = m_tree.indexOfKey(groupKey);
    const Utf8LinkSink addItem = [&](QByteArrayView address, QByteArrayView text) {
        ++m_state.intNodeCount;
        if (parent != 0)
            m_tree.addItem(parent, m_state.intNodeCount, text, address);
        return !m_state.blnQuit;
    };
    // A page in UTF-8, as most are, is scanned as it came: never held twice.
    if (page.answered() && IsValidUtf8Page(page.body, page.contentType))
        ScanUtf8Bytes(page.body, Key, addItem);
    else
        ScanPage(page.text(), Key, [&](const QString &address, const QString &text) {
            return addItem(address.toUtf8(), text.toUtf8());
        });
    scanned.endItem = m_tree.nodeCount() + 1;
    // A scan stopped between two links did not see the whole page.
    if (m_state.blnQuit)
        scanned.status = FetchStatus::Cancelled;
    m_pages << scanned;
    return !m_state.blnQuit;
}

void CatalogueLoader::Report(const QString &url, const FetchResult &result) const
{
    if (result.status != FetchStatus::Ok && m_fetchProblem)
        m_fetchProblem(url, result);
}

bool CatalogueLoader::LoadCatalogue(const QString &listUrl, const std::function<void()> &badEntry)
{
    const FetchResult list = m_inet.Fetch(listUrl);
    Report(listUrl, list);
    InitNode();
    if (m_state.blnQuit || list.status == FetchStatus::Cancelled)
        return false;

    const QList<ListLine> lines = ReadListLines(ListLinesThroughFile(list.text()));
    QStringList urls;
    for (const ListLine &line : lines) {
        if (line.good)
            urls << line.entry.URL;
    }
    PagePrefetch pages(m_inet, urls);
    for (const ListLine &line : lines) {
        if (m_state.blnQuit)
            return false;
        if (!line.good) {
            if (badEntry)
                badEntry();
            continue;
        }
        const bool goOn = FillGroup(line.entry.URL, line.entry.Key, line.entry.Category, [&] {
            const FetchResult page = pages.Take();
            Report(line.entry.URL, page);
            return page;
        });
        if (!goOn)
            return false;
    }
    m_listRead = list.status == FetchStatus::Ok && !m_state.blnQuit;
    return !m_state.blnQuit;
}

} // namespace velmora
