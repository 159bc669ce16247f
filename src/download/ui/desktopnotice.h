// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// What the download window tells the desktop: the progress of the body on
// the program's launcher or task-bar entry, and a notification when a file
// has come whole while the user was looking at another window. Where the
// desktop offers no such service, nothing is shown and nothing fails.
#include <QDBusConnection>
#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>

namespace velmora {

class DesktopNotice
{
public:
    virtual ~DesktopNotice() = default;
    // The part of the file received, 0 to 1, while its body runs.
    virtual void showProgress(double fraction) = 0;
    // The download is over: the entry shows no progress any more.
    virtual void clearProgress() = 0;
    // The file at filePath has been downloaded whole.
    virtual void tellFinished(const QString &filePath) = 0;
};

// The desktop's services on a D-Bus connection: the launcher entry's
// `Update` signal (com.canonical.Unity.LauncherEntry, read by KDE Plasma and
// Ubuntu's dock) and org.freedesktop.Notifications with the actions
// "打开文件" and "打开文件夹".
class DesktopBusNotice : public QObject, public DesktopNotice
{
    Q_OBJECT
public:
    static const QString kAppUri;        // the desktop entry the launcher shows
    static const QString kLauncherPath;  // object path of the Update signal

    explicit DesktopBusNotice(const QDBusConnection &bus, QObject *parent = nullptr);

    // The one all download windows share, on the session bus. It lives as
    // long as the program, so a notification's actions still work after
    // the window that asked for it has closed.
    static DesktopBusNotice *onSessionBus();

    void showProgress(double fraction) override;
    void clearProgress() override;
    void tellFinished(const QString &filePath) override;

signals:
    // A notification's action has been carried out for filePath.
    void actionTaken(const QString &action, const QString &filePath);

private slots:
    void onActionInvoked(uint id, const QString &action);
    void onNotificationClosed(uint id, uint reason);

private:
    void sendLauncherUpdate(double progress, bool visible);
    void notify(const QString &filePath, const QStringList &capabilities);

    QDBusConnection m_bus;
    int m_percent = -1;             // progress last told, in whole percent; -1: none shown
    QHash<uint, QString> m_shown;  // our notifications on the screen: id -> file
};

} // namespace velmora
