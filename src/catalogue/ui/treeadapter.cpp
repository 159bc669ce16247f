// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "catalogue/ui/treeadapter.h"

#include "catalogue/ui/artwork.h"

#include <QTreeWidget>

namespace velmora {

static_assert(int(TreeWidgetAdapter::TagRole) == int(Qt::UserRole));

void TreeWidgetAdapter::nodesCleared()
{
    m_view->clear();
    m_items.clear();
}

void TreeWidgetAdapter::nodeAdded(qsizetype index)
{
    auto *node = new QTreeWidgetItem;
    node->setText(0, text(index));
    node->setIcon(0, TreeIcon(image(index)));
    node->setData(0, TagRole, tag(index));
    node->setData(0, IndexRole, index);
    if (QTreeWidgetItem *parent = item(parentIndex(index)))
        parent->addChild(node);
    else
        m_view->addTopLevelItem(node);
    m_items.append(node);
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
