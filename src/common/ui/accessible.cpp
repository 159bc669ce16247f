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

// The window's notification: takes no room, no input and no focus, and
// paints nothing; only its showing and its name matter.
class Announcement : public QWidget
{
    Q_OBJECT
public:
    explicit Announcement(QWidget *window) : QWidget(window)
    {
        RegisterDrawnControl(metaObject()->className(), QAccessible::Notification);
        setObjectName(QStringLiteral("announcement"));
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setFocusPolicy(Qt::NoFocus);
        setGeometry(0, 0, 1, 1);
        hide();
    }

    static Announcement *of(const QWidget *window)
    {
        return window->findChild<Announcement *>(QString(), Qt::FindDirectChildrenOnly);
    }
};

void RegisterDrawnControl(const char *className, QAccessible::Role role)
{
    if (Registry().isEmpty())
        QAccessible::installFactory(DrawnControlFactory);
    const QString key = QString::fromLatin1(className);
    if (!Registry().contains(key))
        Registry().insert(key, role);
}

void DescribeWindow(QWidget *window, QAccessible::Role role, const QString &description)
{
    RegisterDrawnControl(window->metaObject()->className(), role);
    window->setAccessibleDescription(description);
    // Made now, while no reader knows the window yet: a child added later is
    // missed by readers that keep their own copy of the window's children.
    if (!Announcement::of(window))
        new Announcement(window);
}

void Announce(QWidget *window, const QString &text)
{
    Announcement *note = Announcement::of(window);
    if (!note)
        note = new Announcement(window);
    // Hidden first, so that the same news twice still shows anew.
    note->hide();
    if (text.isEmpty())
        return;
    note->setAccessibleName(text);
    note->show();
    QAccessibleEvent alert(note, QAccessible::Alert);
    QAccessible::updateAccessibility(&alert);
}

} // namespace velmora

#include "accessible.moc"
