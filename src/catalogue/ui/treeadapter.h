#pragma once
// CatalogueTree over a QTreeWidget. Each item carries its Tag, key, index
// and image number in item data roles.
#include "catalogue/core/cataloguetree.h"

#include <QList>

class QTreeWidget;
class QTreeWidgetItem;

namespace velmora {

class TreeWidgetAdapter : public CatalogueTree
{
public:
    enum Role { TagRole = 0x0100 /* Qt::UserRole */, KeyRole, IndexRole, ImageRole };

    explicit TreeWidgetAdapter(QTreeWidget *view) : m_view(view) {}

    void clear() override;
    qsizetype addNode(const QString &parentKey, const QString &key, const QString &text, int image,
                      const QString &tag = QString()) override;
    qsizetype nodeCount() const override { return m_items.size(); }
    qsizetype indexOfKey(const QString &key) const override { return m_byKey.value(key, 0); }
    QString key(qsizetype index) const override;
    QString text(qsizetype index) const override;
    QString tag(qsizetype index) const override;
    int image(qsizetype index) const override;
    qsizetype parentIndex(qsizetype index) const override;
    bool isExpanded(qsizetype index) const override;
    void setExpanded(qsizetype index, bool expanded) override;

    QTreeWidgetItem *item(qsizetype index) const { return exists(index) ? m_items.at(index - 1) : nullptr; }
    // Index of a node of this tree (0 when it is none of them).
    static qsizetype indexOf(const QTreeWidgetItem *item);

private:
    QTreeWidget *m_view;
    QList<QTreeWidgetItem *> m_items;
    QHash<QString, qsizetype> m_byKey;
};

} // namespace velmora
