// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "catalogue/core/cataloguetree.h"

#include <algorithm>
#include <cstring>

namespace velmora {

namespace {

constexpr qsizetype kChunkBytes = 1 << 20;
const QString kItemKeyPrefix = QStringLiteral("Node  ");
// Item keys kept as their number have at most this many digits.
constexpr qsizetype kLargestKeyDigits = 15;
constexpr qint64 kLargestKeyNumber = 999'999'999'999'999;

// The number of a key written as an item's key ("Node  " and digits, no
// leading zero); -1 for any other key.
qint64 ItemKeyNumber(const QString &key)
{
    if (!key.startsWith(kItemKeyPrefix))
        return -1;
    const QStringView digits = QStringView(key).mid(kItemKeyPrefix.size());
    if (digits.isEmpty() || digits.size() > kLargestKeyDigits)
        return -1;
    if (digits.size() > 1 && digits.front() == QLatin1Char('0'))
        return -1;
    qint64 n = 0;
    for (const QChar c : digits) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return -1;
        n = n * 10 + (c.unicode() - '0');
    }
    return n;
}

} // namespace

void CatalogueTree::clear()
{
    m_nodes.clear();
    m_strings.clear();
    m_byKey.clear();
    m_risingNumbers.clear();
    m_otherNumbers.clear();
    nodesCleared();
}

CatalogueTree::Text CatalogueTree::keep(QByteArrayView bytes)
{
    Text t;
    t.size = qint32(bytes.size());
    if (bytes.isEmpty())
        return t;
    // A text larger than a chunk gets one of its own.
    if (m_strings.isEmpty() || m_strings.last().size() + bytes.size() > m_strings.last().capacity()) {
        QByteArray chunk;
        chunk.reserve(std::max(kChunkBytes, bytes.size()));
        m_strings << chunk;
    }
    QByteArray &chunk = m_strings.last();
    const qsizetype at = chunk.size();
    t.at = (qint64(m_strings.size() - 1) << 32) | at;
    chunk.resize(at + bytes.size());  // within its room: the chunk never moves
    std::memcpy(chunk.data() + at, bytes.data(), size_t(bytes.size()));
    return t;
}

QString CatalogueTree::read(const Text &t) const
{
    if (t.size == 0)
        return QString();
    const QByteArray &chunk = m_strings.at(t.at >> 32);
    return QString::fromUtf8(chunk.constData() + (t.at & 0xffffffff), t.size);
}

qsizetype CatalogueTree::findKey(const QString &key) const
{
    const qint64 number = ItemKeyNumber(key);
    return number < 0 ? m_byKey.value(key, 0) : findNumber(number);
}

qsizetype CatalogueTree::findNumber(qint64 number) const
{
    // A load's items come in rising order: each new number beyond every one kept so far.
    if (!m_risingNumbers.isEmpty() && number > m_risingNumbers.last().first)
        return m_otherNumbers.value(number, 0);
    const auto it = std::lower_bound(m_risingNumbers.cbegin(), m_risingNumbers.cend(), number,
                                     [](const std::pair<qint64, qsizetype> &e, qint64 n) { return e.first < n; });
    if (it != m_risingNumbers.cend() && it->first == number)
        return it->second;
    return m_otherNumbers.value(number, 0);
}

qsizetype CatalogueTree::indexOfKey(const QString &key) const
{
    return findKey(key);
}

qsizetype CatalogueTree::addNode(const QString &parentKey, const QString &key, const QString &text, int image,
                                 const QString &tag)
{
    if (findKey(key) != 0)
        return 0;
    qsizetype parent = 0;
    if (!parentKey.isEmpty()) {
        parent = indexOfKey(parentKey);
        if (parent == 0)
            return 0;
    }
    Node n;
    n.keyNumber = ItemKeyNumber(key);
    if (n.keyNumber < 0) {
        n.key = keep(key.toUtf8());
        m_byKey.insert(key, m_nodes.size() + 1);
    }
    n.text = keep(text.toUtf8());
    n.tag = keep(tag.toUtf8());
    n.image = qint8(image);
    n.parent = qint32(parent);
    return append(n);
}

qsizetype CatalogueTree::addItem(qsizetype parent, qint64 number, QByteArrayView text, QByteArrayView tag)
{
    if (number < 0 || (parent != 0 && !exists(parent)))
        return 0;
    // A number too long to be kept as one is a key like any other.
    if (number > kLargestKeyNumber)
        return addNode(key(parent), kItemKeyPrefix + QString::number(number), QString::fromUtf8(text), ImageRootOrItem,
                       QString::fromUtf8(tag));
    if (findNumber(number) != 0)
        return 0;
    Node n;
    n.keyNumber = number;
    n.text = keep(text);
    n.tag = keep(tag);
    n.image = qint8(ImageRootOrItem);
    n.parent = qint32(parent);
    return append(n);
}

// Adds the node, finds it by its key's number from now on, and tells the view.
qsizetype CatalogueTree::append(const Node &n)
{
    m_nodes.append(n);
    const qsizetype index = m_nodes.size();
    if (n.keyNumber >= 0 && (m_risingNumbers.isEmpty() || m_risingNumbers.last().first < n.keyNumber))
        m_risingNumbers.append({n.keyNumber, index});
    else if (n.keyNumber >= 0)
        m_otherNumbers.insert(n.keyNumber, index);
    nodeAdded(index);
    return index;
}

QString CatalogueTree::key(qsizetype index) const
{
    const Node *n = node(index);
    if (!n)
        return QString();
    return n->keyNumber >= 0 ? kItemKeyPrefix + QString::number(n->keyNumber) : read(n->key);
}

QString CatalogueTree::text(qsizetype index) const
{
    const Node *n = node(index);
    return n ? read(n->text) : QString();
}

QString CatalogueTree::tag(qsizetype index) const
{
    const Node *n = node(index);
    return n ? read(n->tag) : QString();
}

bool CatalogueTree::hasTag(qsizetype index) const
{
    const Node *n = node(index);
    return n && n->tag.size > 0;
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
