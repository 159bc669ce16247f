// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "catalogue/core/cataloguetree.h"

namespace velmora {

void CatalogueTree::clear()
{
    m_nodes.clear();
    m_byKey.clear();
    nodesCleared();
}

qsizetype CatalogueTree::addNode(const QString &parentKey, const QString &key, const QString &text, int image,
                                 const QString &tag)
{
    if (m_byKey.contains(key))
        return 0;
    qsizetype parent = 0;
    if (!parentKey.isEmpty()) {
        parent = indexOfKey(parentKey);
        if (parent == 0)
            return 0;
    }
    Node n;
    n.key = key;
    n.text = text;
    n.tag = tag;
    n.image = image;
    n.parent = parent;
    m_nodes.append(n);
    m_byKey.insert(key, m_nodes.size());
    nodeAdded(m_nodes.size());
    return m_nodes.size();
}

QString CatalogueTree::key(qsizetype index) const
{
    const Node *n = node(index);
    return n ? n->key : QString();
}

QString CatalogueTree::text(qsizetype index) const
{
    const Node *n = node(index);
    return n ? n->text : QString();
}

QString CatalogueTree::tag(qsizetype index) const
{
    const Node *n = node(index);
    return n ? n->tag : QString();
}

int CatalogueTree::image(qsizetype index) const
{
    const Node *n = node(index);
    return n ? n->image : 0;
}

qsizetype CatalogueTree::parentIndex(qsizetype index) const
{
    const Node *n = node(index);
    return n ? n->parent : 0;
}

bool CatalogueTree::isExpanded(qsizetype index) const
{
    const Node *n = node(index);
    return n && n->expanded;
}

void CatalogueTree::setExpanded(qsizetype index, bool expanded)
{
    if (exists(index))
        m_nodes[index - 1].expanded = expanded;
}

// Line breaks and tabs inside a text would break the one-node-a-line format.
static QString OneLine(QString s)
{
    for (QChar &c : s) {
        if (c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QLatin1Char('\t'))
            c = QLatin1Char(' ');
    }
    return s;
}

QString FormatTree(const CatalogueTree &tree)
{
    return FormatTree(tree, nullptr);
}

QString FormatTree(const CatalogueTree &tree, const std::function<QString(qsizetype)> &itemColumn)
{
    const qsizetype n = tree.nodeCount();
    QList<QList<qsizetype>> children(n + 1);  // slot 0: the top level
    for (qsizetype i = 1; i <= n; ++i)
        children[tree.parentIndex(i)].append(i);
    QString out;
    // Depth-first without recursion: a long chain of nodes cannot exhaust the stack.
    QList<std::pair<qsizetype, int>> stack;
    for (qsizetype j = children.at(0).size() - 1; j >= 0; --j)
        stack.append({children.at(0).at(j), 0});
    while (!stack.isEmpty()) {
        const auto [i, depth] = stack.takeLast();
        const QString tag = tree.tag(i);
        out += QString(depth * 2, QLatin1Char(' ')) + OneLine(tree.text(i)) + QLatin1Char('\t') + OneLine(tag);
        if (itemColumn && !tag.isEmpty())
            out += QLatin1Char('\t') + OneLine(itemColumn(i));
        out += QLatin1Char('\n');
        const QList<qsizetype> &kids = children.at(i);
        for (qsizetype j = kids.size() - 1; j >= 0; --j)
            stack.append({kids.at(j), depth + 1});
    }
    return out;
}

} // namespace velmora
