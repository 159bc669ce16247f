#pragma once
// clsToolTip: one balloon tooltip (title line, information icon, text) over the
// whole client area of one control. Callers set ParentControl, ToolTipTitle,
// ToolTipText, then call Create, in that order.
#include <QPointer>
#include <QString>
#include <QWidget>

namespace velmora {

class clsToolTip
{
public:
    clsToolTip() = default;
    ~clsToolTip();  // leaves the tip alive: it belongs to its control from Create on

    void setParentControl(QWidget *vData);
    QWidget *parentControl() const { return m_parent; }
    void setToolTipTitle(const QString &vData);
    QString toolTipTitle() const { return m_title; }
    void setToolTipText(const QString &vData);
    QString toolTipText() const { return m_text; }
    bool Create();

    // The tip window made by the last Create (null before it).
    QWidget *tipWindow() const { return m_tip; }

private:
    QPointer<QWidget> m_parent;
    QString m_title;
    QString m_text;
    QPointer<QWidget> m_tip;
};

} // namespace velmora
