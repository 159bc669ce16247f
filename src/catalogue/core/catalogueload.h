// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Loading a catalogue: the list fetch, the temporary copy of the list, the
// page scan that fills the tree, and the tree's click rule. The main window
// and velmora-scan share all of it.
#include "catalogue/core/cataloguetree.h"

#include <QList>
#include <QString>

#include <functional>

namespace velmora {

class Inet;
struct FetchResult;
enum class FetchStatus;

// One page a load scanned: the entry it came from, how its fetch ended and
// the indexes of the items it gave, [firstItem, endItem) (a page's items are
// added one after another).
struct ScannedPage
{
    QString url, key, category;
    FetchStatus status{};
    qsizetype firstItem = 0, endItem = 0;
};

// The main window's state that loading and the tree rules work on.
struct CatalogueState
{
    qsizetype intNodeCount = 0;      // 1 after a rebuild, +1 per item added
    qsizetype intSelectedIndex = 0;  // node last clicked since the rebuild; 0 = none
    qsizetype intExpandedIndex = 0;  // last clicked node without a Tag; 0 = none
    bool blnQuit = false;            // the window was forced closed: stop every loop
    QString strLoadingText;          // status text while the catalogue loads
};

inline const QString kRootKey = QStringLiteral("Node 1");
inline const QString kRootText = QStringLiteral("Quillon");
inline const QString kBadEntryText = QStringLiteral("读取曲目列表时发生错误.");

// Where each load makes a folder of its own (named after kLoadFolderPrefix,
// readable by this user only) for its copy of the list, "temp.dat": the
// user's cache folder, never beside the program. The load's folder goes with
// the copy, so nothing of it stays behind; two loads at the same time, in one
// program or in two, never see each other's list.
QString TempListFolder();
inline const QString kLoadFolderPrefix = QStringLiteral("velmora-load-");

// The group key for a category and the item key for a node count.
inline QString GroupKey(const QString &category) { return QStringLiteral("Node ") + category; }
inline QString ItemKey(qsizetype nodeCount) { return QStringLiteral("Node  ") + QString::number(nodeCount); }

// NodeClick: a click on a node without a Tag opens it and closes the one
// opened by the previous such click, except the root and the first group;
// every click makes the node the selected one.
void NodeClick(CatalogueTree &tree, CatalogueState &state, qsizetype index);

class CatalogueLoader
{
public:
    CatalogueLoader(CatalogueTree &tree, Inet &inet, CatalogueState &state) : m_tree(tree), m_inet(inet), m_state(state) {}

    // Rebuilds the empty tree: the root alone, the counters reset.
    void InitNode();

    // Adds the group Category and one item per link of the page at URL whose
    // address contains Key. Stops when blnQuit turns true.
    void LoadTrackList(const QString &URL, const QString &Key, const QString &Category);

    // Fetches the list at listUrl, rebuilds the tree and fills it from every
    // good entry as LoadTrackList would, in list order; each bad entry calls
    // badEntry once, when the load meets it. The pages are fetched side by
    // side while the scan goes down the list. Returns false when blnQuit (or
    // a Cancel of the fetches) stopped the load: no fetch of it is left
    // running and its copy of the list is gone when this returns.
    bool LoadCatalogue(const QString &listUrl, const std::function<void()> &badEntry);

    // The pages of the last load or search, in the order they were scanned.
    const QList<ScannedPage> &scannedPages() const { return m_pages; }
    // The last LoadCatalogue got its whole list and ran to its end.
    bool listRead() const { return m_listRead; }

    // Told of every fetch of a load that brought no whole answer: its
    // address and how it ended (for a tool's log; the window shows none).
    void setFetchProblem(std::function<void(const QString &url, const FetchResult &result)> report)
    {
        m_fetchProblem = std::move(report);
    }

private:
    bool FillGroup(const QString &URL, const QString &Key, const QString &Category,
                   const std::function<FetchResult()> &fetchPage);
    void Report(const QString &url, const FetchResult &result) const;

    CatalogueTree &m_tree;
    Inet &m_inet;
    CatalogueState &m_state;
    std::function<void(const QString &, const FetchResult &)> m_fetchProblem;
    QList<ScannedPage> m_pages;
    bool m_listRead = false;
};

} // namespace velmora
