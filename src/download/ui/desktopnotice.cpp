// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "download/ui/desktopnotice.h"

#include "download/core/address.h"
#include "download/ui/savedialog.h"
#include "download/ui/showinfolder.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QPointer>
#include <QVariantMap>

#include <cmath>

namespace velmora {

const QString DesktopBusNotice::kAppUri = QStringLiteral("application://io.github.velmora.Velmora.desktop");
const QString DesktopBusNotice::kLauncherPath = QStringLiteral("/com/canonical/unity/launcherentry/velmora");

namespace {

const QString kNotifications = QStringLiteral("org.freedesktop.Notifications");
const QString kNotificationsPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kLauncherInterface = QStringLiteral("com.canonical.Unity.LauncherEntry");
const QString kOpenAction = QStringLiteral("open");
const QString kFolderAction = QStringLiteral("folder");

QDBusMessage NotificationsCall(const QString &method)
{
    return QDBusMessage::createMethodCall(kNotifications, kNotificationsPath, kNotifications, method);
}

// Calls back with the reply once it is in; an error reply (no such
// service, no answer in time) is dropped.
template<typename Reply, typename Fn>
void WhenAnswered(const QDBusPendingCall &pending, QObject *context, Fn fn)
{
    auto *watcher = new QDBusPendingCallWatcher(pending, context);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, context, [watcher, fn] {
        watcher->deleteLater();
        const QDBusPendingReply<Reply> reply = *watcher;
        if (!reply.isError())
            fn(reply.value());
    });
}

} // namespace

DesktopBusNotice::DesktopBusNotice(const QDBusConnection &bus, QObject *parent) : QObject(parent), m_bus(bus)
{
    if (!m_bus.isConnected())
        return;
    m_bus.connect(kNotifications, kNotificationsPath, kNotifications, QStringLiteral("ActionInvoked"), this,
                  SLOT(onActionInvoked(uint, QString)));
    m_bus.connect(kNotifications, kNotificationsPath, kNotifications, QStringLiteral("NotificationClosed"), this,
                  SLOT(onNotificationClosed(uint, uint)));
}

DesktopBusNotice *DesktopBusNotice::onSessionBus()
{
    static QPointer<DesktopBusNotice> shared;
    if (!shared)
        shared = new DesktopBusNotice(QDBusConnection::sessionBus(), QCoreApplication::instance());
    return shared;
}

void DesktopBusNotice::showProgress(double fraction)
{
    // Told in whole percent: the launcher need not hear of every chunk.
    const int percent = int(std::floor(qBound(0.0, fraction, 1.0) * 100));
    if (percent == m_percent)
        return;
    m_percent = percent;
    sendLauncherUpdate(percent / 100.0, true);
}

void DesktopBusNotice::clearProgress()
{
    if (m_percent < 0)
        return;
    m_percent = -1;
    sendLauncherUpdate(0.0, false);
}

void DesktopBusNotice::sendLauncherUpdate(double progress, bool visible)
{
    if (!m_bus.isConnected())
        return;
    QDBusMessage update = QDBusMessage::createSignal(kLauncherPath, kLauncherInterface, QStringLiteral("Update"));
    update << kAppUri
           << QVariantMap{{QStringLiteral("progress"), progress}, {QStringLiteral("progress-visible"), visible}};
    m_bus.send(update);
}

void DesktopBusNotice::tellFinished(const QString &filePath)
{
    if (!m_bus.isConnected())
        return;
    // What the notification may carry (actions, markup) depends on the
    // server that shows it; it is asked first.
    WhenAnswered<QStringList>(m_bus.asyncCall(NotificationsCall(QStringLiteral("GetCapabilities"))), this,
                              [this, filePath](const QStringList &capabilities) { notify(filePath, capabilities); });
}

void DesktopBusNotice::notify(const QString &filePath, const QStringList &capabilities)
{
    const QString name = FileNameOf(filePath);
    // A server that reads markup would take "<" or "&" in a file name for it.
    const QString body = capabilities.contains(QStringLiteral("body-markup")) ? name.toHtmlEscaped() : name;
    QStringList actions;
    if (capabilities.contains(QStringLiteral("actions")))
        actions = QStringList{kOpenAction, QStringLiteral("打开文件"), kFolderAction, QStringLiteral("打开文件夹")};
    const QVariantMap hints{{QStringLiteral("desktop-entry"), QStringLiteral("io.github.velmora.Velmora")},
                            {QStringLiteral("category"), QStringLiteral("transfer.complete")}};
    QDBusMessage call = NotificationsCall(QStringLiteral("Notify"));
    call << QStringLiteral("Velmora") << uint(0) << QStringLiteral("io.github.velmora.Velmora")
         << QStringLiteral("下载完毕") << body << actions << hints << int(-1);
    WhenAnswered<uint>(m_bus.asyncCall(call), this, [this, filePath](uint id) { m_shown.insert(id, filePath); });
}

void DesktopBusNotice::onActionInvoked(uint id, const QString &action)
{
    // Every program's notifications raise this signal; only ours are acted on.
    const QString filePath = m_shown.value(id);
    if (filePath.isEmpty())
        return;
    if (action == kOpenAction) {
        ShellOpen(filePath);  // no window is left to tell of a file that has gone
    } else if (action == kFolderAction) {
        ShowInFolderOptions options;
        options.bus = m_bus;
        ShowInFolder(filePath, options);
    } else {
        return;
    }
    emit actionTaken(action, filePath);
}

void DesktopBusNotice::onNotificationClosed(uint id, uint)
{
    m_shown.remove(id);
}

} // namespace velmora
