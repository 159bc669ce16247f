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

void TreeWidgetAdapter::setMark(qsizetype index, LibraryMark mark)
{
    QTreeWidgetItem *n = item(index);
    if (!n || tag(index).isEmpty())
        return;
    n->setIcon(0, mark == LibraryMark::None ? TreeIcon(image(index)) : MarkedItemIcon(mark));
    const QString words = MarkText(mark);
    n->setData(0, Qt::ToolTipRole, words.isEmpty() ? QVariant() : QVariant(words));
    n->setData(0, Qt::AccessibleDescriptionRole, words.isEmpty() ? QVariant() : QVariant(words));
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
