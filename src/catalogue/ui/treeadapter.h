// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The catalogue tree shown in a QTreeWidget: each node added becomes an item
// carrying its Tag and index in item data roles; the expanded state is the
// view's own, so the tree's glyphs change it too.
#include "catalogue/core/cataloguetree.h"
#include "catalogue/core/librarymarks.h"

#include <QList>

class QTreeWidget;
class QTreeWidgetItem;

namespace velmora {

class TreeWidgetAdapter : public CatalogueTree
{
public:
    enum Role { TagRole = 0x0100 /* Qt::UserRole */, IndexRole };

    explicit TreeWidgetAdapter(QTreeWidget *view) : m_view(view) {}

    bool isExpanded(qsizetype index) const override;
    void setExpanded(qsizetype index, bool expanded) override;

    // Shows the mark of an item: the third icon, and the mark's words as the
    // item's tooltip and accessible description. Its text and Tag stay.
    void setMark(qsizetype index, LibraryMark mark);

    QTreeWidgetItem *item(qsizetype index) const { return exists(index) ? m_items.at(index - 1) : nullptr; }
    // Index of a node of this tree (0 when it is none of them).
    static qsizetype indexOf(const QTreeWidgetItem *item);

protected:
    void nodesCleared() override;
    void nodeAdded(qsizetype index) override;

private:
    QTreeWidget *m_view;
    QList<QTreeWidgetItem *> m_items;
};

} // namespace velmora
