#pragma once
// Loading a catalogue: the list fetch, the temporary copy of the list, the
// page scan that fills the tree, and the tree's click rule. The main window
// and velmora-scan share all of it.
#include "catalogue/core/cataloguetree.h"
#include "common/core/globals.h"

#include <QString>

#include <functional>

namespace velmora {

class Inet;

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

// Where the fetched list is kept while a load reads it: "temp.dat" in the
// program's folder, or in the per-user cache folder (created when missing)
// when the program's folder cannot be written.
QString TempListPath(const QString &programFolder = ProgramFolder());

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

    // Fetches the list at listUrl, rebuilds the tree and runs every good
    // entry through LoadTrackList; each bad entry calls badEntry once, when
    // the load meets it. Returns false when blnQuit stopped the load. The
    // temporary copy of the list is gone when this returns.
    bool LoadCatalogue(const QString &listUrl, const std::function<void()> &badEntry);

private:
    CatalogueTree &m_tree;
    Inet &m_inet;
    CatalogueState &m_state;
};

} // namespace velmora
