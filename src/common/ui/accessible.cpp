// SPDX-FileCopyrightText: 2026 Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/ui/accessible.h"

#include <QAccessibleWidget>
#include <QHash>
#include <QWidget>

namespace velmora {

namespace {

class DrawnControl : public QAccessibleWidget
{
public:
    DrawnControl(QWidget *w, QAccessible::Role role) : QAccessibleWidget(w, role)
    {
        if (pressable())
            addControllingSignal(QStringLiteral("clicked()"));
    }

    QStringList actionNames() const override
    {
        QStringList names = QAccessibleWidget::actionNames();
        if (pressable() && widget()->isEnabled())
            names.prepend(pressAction());
        return names;
    }

    void doAction(const QString &actionName) override
    {
        if (actionName == pressAction() && pressable()) {
            if (widget()->isEnabled())
                QMetaObject::invokeMethod(widget(), "click");
            return;
        }
        QAccessibleWidget::doAction(actionName);
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        if (role() == QAccessible::Link)
            s.linked = true;
        return s;
    }

private:
    bool pressable() const { return role() == QAccessible::Button || role() == QAccessible::Link; }
};

QHash<QString, QAccessible::Role> &Registry()
{
    static QHash<QString, QAccessible::Role> roles;
    return roles;
}

QAccessibleInterface *DrawnControlFactory(const QString &key, QObject *object)
{
    const auto it = Registry().constFind(key);
    if (it == Registry().constEnd() || !object || !object->isWidgetType())
        return nullptr;
    return new DrawnControl(static_cast<QWidget *>(object), it.value());
}

} // namespace

void RegisterDrawnControl(const char *className, QAccessible::Role role)
{
    if (Registry().isEmpty())
        QAccessible::installFactory(DrawnControlFactory);
    const QString key = QString::fromLatin1(className);
    if (!Registry().contains(key))
        Registry().insert(key, role);
}

} // namespace velmora
