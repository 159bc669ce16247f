// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The catalogue tree as the loader and the click rule see it: keyed nodes
// with a text, an image number and a Tag, addressed by index (1 = the first
// node added since the last clear, 0 = none). The window puts a real tree
// view behind it; tools and tests use it alone.
#include <QByteArrayView>
#include <QHash>
#include <QList>
#include <QString>

#include <functional>
#include <utility>

namespace velmora {

// Image numbers of the tree's two icons.
enum TreeImage { ImageRootOrItem = 1, ImageGroup = 2 };

// The nodes themselves are kept here; a view (the window's tree widget)
// follows them through the three hooks below and owns only their look and
// their expanded state.
class CatalogueTree
{
public:
    virtual ~CatalogueTree() = default;

    void clear();
    // Adds a node under the node with parentKey (an empty parentKey adds a
    // top-level node). Returns its index, or 0 when the key is already used
    // or the parent does not exist (the add then has no effect).
    qsizetype addNode(const QString &parentKey, const QString &key, const QString &text, int image,
                      const QString &tag = QString());
    // addNode for an item, whose key is "Node  " + number, under the node at
    // parent (0: top level), with its text and tag in UTF-8: what a page
    // scan brings goes in as it is, without passing through UTF-16. The same
    // rules: 0 when the key is used or the parent does not exist.
    qsizetype addItem(qsizetype parent, qint64 number, QByteArrayView text, QByteArrayView tag);
    qsizetype nodeCount() const { return m_nodes.size(); }
    // Index of the node with that key; 0 when there is none.
    qsizetype indexOfKey(const QString &key) const;

    // Operations on an index that does not exist have no effect and read
    // empty values.
    QString key(qsizetype index) const;
    QString text(qsizetype index) const;
    QString tag(qsizetype index) const;
    // The node has a non-empty Tag: it is an item.
    bool hasTag(qsizetype index) const;
    int image(qsizetype index) const;
    qsizetype parentIndex(qsizetype index) const;  // 0 for a top-level node
    virtual bool isExpanded(qsizetype index) const;
    virtual void setExpanded(qsizetype index, bool expanded);

    bool exists(qsizetype index) const { return index >= 1 && index <= nodeCount(); }

protected:
    virtual void nodesCleared() {}
    virtual void nodeAdded(qsizetype /*index*/) {}

private:
    // Each node a small fixed record; its texts live in m_strings as UTF-8.
    // An item's key ("Node  " + its number) is kept as the number alone, so
    // a page of hundreds of thousands of items costs little more than the
    // texts it brings.
    struct Text
    {
        qint64 at = 0;    // chunk << 32 | offset within the chunk
        qint32 size = 0;  // bytes
    };
    struct Node
    {
        Text key, text, tag;
        qint64 keyNumber = -1;  // the number of an item's key; -1: the key is in `key`
        qint32 parent = 0;
        qint8 image = 0;
        bool expanded = false;
    };
    Text keep(QByteArrayView bytes);
    QString read(const Text &t) const;
    qsizetype findKey(const QString &key) const;
    qsizetype findNumber(qint64 number) const;
    qsizetype append(const Node &n);
    const Node *node(qsizetype index) const { return exists(index) ? &m_nodes.at(index - 1) : nullptr; }

    QList<Node> m_nodes;
    QList<QByteArray> m_strings;               // chunks that never move once written
    QHash<QString, qsizetype> m_byKey;         // keys of the other nodes
    // Item keys by their number: those added in rising order (all of a
    // load's) in a sorted list, any other in the hash.
    QList<std::pair<qint64, qsizetype>> m_risingNumbers;
    QHash<qint64, qsizetype> m_otherNumbers;
};

// A tree held in memory only (tools and tests).
using MemoryTree = CatalogueTree;

// The tree as text, one node a line in tree order (each node followed by its
// children in the order they were added), indented two spaces per level,
// each line "text<TAB>tag"; line breaks and tabs inside a text or tag are
// written as spaces.
QString FormatTree(const CatalogueTree &tree);
// The same, each item line (a node with a Tag) followed by a third column,
// "<TAB>" + itemColumn(index).
QString FormatTree(const CatalogueTree &tree, const std::function<QString(qsizetype)> &itemColumn);

} // namespace velmora
