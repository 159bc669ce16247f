#include "catalogue/ui/treeadapter.h"

#include "catalogue/ui/artwork.h"

#include <QTreeWidget>

namespace velmora {

static_assert(int(TreeWidgetAdapter::TagRole) == int(Qt::UserRole));

void TreeWidgetAdapter::clear()
{
    m_view->clear();
    m_items.clear();
    m_byKey.clear();
}

qsizetype TreeWidgetAdapter::addNode(const QString &parentKey, const QString &key, const QString &text, int image,
                                     const QString &tag)
{
    if (m_byKey.contains(key))
        return 0;
    QTreeWidgetItem *parent = nullptr;
    if (!parentKey.isEmpty()) {
        parent = item(indexOfKey(parentKey));
        if (!parent)
            return 0;
    }
    auto *node = new QTreeWidgetItem;
    const qsizetype index = m_items.size() + 1;
    node->setText(0, text);
    node->setIcon(0, TreeIcon(image));
    node->setData(0, TagRole, tag);
    node->setData(0, KeyRole, key);
    node->setData(0, IndexRole, index);
    node->setData(0, ImageRole, image);
    if (parent)
        parent->addChild(node);
    else
        m_view->addTopLevelItem(node);
    m_items.append(node);
    m_byKey.insert(key, index);
    return index;
}

QString TreeWidgetAdapter::key(qsizetype index) const
{
    const QTreeWidgetItem *n = item(index);
    return n ? n->data(0, KeyRole).toString() : QString();
}

QString TreeWidgetAdapter::text(qsizetype index) const
{
    const QTreeWidgetItem *n = item(index);
    return n ? n->text(0) : QString();
}

QString TreeWidgetAdapter::tag(qsizetype index) const
{
    const QTreeWidgetItem *n = item(index);
    return n ? n->data(0, TagRole).toString() : QString();
}

int TreeWidgetAdapter::image(qsizetype index) const
{
    const QTreeWidgetItem *n = item(index);
    return n ? n->data(0, ImageRole).toInt() : 0;
}

qsizetype TreeWidgetAdapter::parentIndex(qsizetype index) const
{
    const QTreeWidgetItem *n = item(index);
    return n && n->parent() ? indexOf(n->parent()) : 0;
}

bool TreeWidgetAdapter::isExpanded(qsizetype index) const
{
    const QTreeWidgetItem *n = item(index);
    return n && n->isExpanded();
}

void TreeWidgetAdapter::setExpanded(qsizetype index, bool expanded)
{
    if (QTreeWidgetItem *n = item(index))
        n->setExpanded(expanded);
}

qsizetype TreeWidgetAdapter::indexOf(const QTreeWidgetItem *item)
{
    return item ? item->data(0, IndexRole).toLongLong() : 0;
}

} // namespace velmora
