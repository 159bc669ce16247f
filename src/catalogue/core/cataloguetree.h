#pragma once
// The catalogue tree as the loader and the click rule see it: keyed nodes
// with a text, an image number and a Tag, addressed by index (1 = the first
// node added since the last clear, 0 = none). The window puts a real tree
// view behind it; tools and tests use MemoryTree.
#include <QHash>
#include <QList>
#include <QString>

namespace velmora {

// Image numbers of the tree's two icons.
enum TreeImage { ImageRootOrItem = 1, ImageGroup = 2 };

class CatalogueTree
{
public:
    virtual ~CatalogueTree() = default;

    virtual void clear() = 0;
    // Adds a node under the node with parentKey (an empty parentKey adds a
    // top-level node). Returns its index, or 0 when the key is already used
    // or the parent does not exist (the add then has no effect).
    virtual qsizetype addNode(const QString &parentKey, const QString &key, const QString &text, int image,
                              const QString &tag = QString()) = 0;
    virtual qsizetype nodeCount() const = 0;
    // Index of the node with that key; 0 when there is none.
    virtual qsizetype indexOfKey(const QString &key) const = 0;

    // Operations on an index that does not exist have no effect and read
    // empty values.
    virtual QString key(qsizetype index) const = 0;
    virtual QString text(qsizetype index) const = 0;
    virtual QString tag(qsizetype index) const = 0;
    virtual int image(qsizetype index) const = 0;
    virtual qsizetype parentIndex(qsizetype index) const = 0;  // 0 for a top-level node
    virtual bool isExpanded(qsizetype index) const = 0;
    virtual void setExpanded(qsizetype index, bool expanded) = 0;

    bool exists(qsizetype index) const { return index >= 1 && index <= nodeCount(); }
};

// A tree held in memory only.
class MemoryTree : public CatalogueTree
{
public:
    void clear() override;
    qsizetype addNode(const QString &parentKey, const QString &key, const QString &text, int image,
                      const QString &tag = QString()) override;
    qsizetype nodeCount() const override { return m_nodes.size(); }
    qsizetype indexOfKey(const QString &key) const override { return m_byKey.value(key, 0); }
    QString key(qsizetype index) const override;
    QString text(qsizetype index) const override;
    QString tag(qsizetype index) const override;
    int image(qsizetype index) const override;
    qsizetype parentIndex(qsizetype index) const override;
    bool isExpanded(qsizetype index) const override;
    void setExpanded(qsizetype index, bool expanded) override;

private:
    struct Node
    {
        QString key, text, tag;
        int image = 0;
        qsizetype parent = 0;
        bool expanded = false;
    };
    const Node *node(qsizetype index) const { return exists(index) ? &m_nodes.at(index - 1) : nullptr; }
    QList<Node> m_nodes;
    QHash<QString, qsizetype> m_byKey;
};

// The tree as text, one node a line in tree order (each node followed by its
// children in the order they were added), indented two spaces per level,
// each line "text<TAB>tag"; line breaks and tabs inside a text or tag are
// written as spaces.
QString FormatTree(const CatalogueTree &tree);

} // namespace velmora
