// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "download/ui/showinfolder.h"

#include "download/core/address.h"
#include "download/ui/savedialog.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QFileInfo>
#include <QUrl>

namespace velmora {

namespace {

void OpenFolderInstead(const QString &filePath, const ShowInFolderOptions &options)
{
    const QString folder = SplitPath(filePath, false, false);
    const bool opened = ShellOpen(folder);
    if (options.done)
        options.done(opened ? FolderShown::FolderOpened : FolderShown::NothingOpened);
}

} // namespace

void ShowInFolder(const QString &filePath, ShowInFolderOptions options)
{
    if (!options.bus.isConnected()) {
        OpenFolderInstead(filePath, options);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    const QString uri = QUrl::fromLocalFile(QFileInfo(filePath).absoluteFilePath()).toString(QUrl::FullyEncoded);
    call << QStringList{uri} << QString();
    const QDBusPendingCall pending = options.bus.asyncCall(call, options.timeoutMs);
    // Lives on the application, not on the window that asked: that one closes now.
    auto *watcher = new QDBusPendingCallWatcher(pending, QCoreApplication::instance());
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [watcher, filePath, options = std::move(options)] {
                         watcher->deleteLater();
                         if (watcher->isError()) {
                             OpenFolderInstead(filePath, options);
                         } else if (options.done) {
                             options.done(FolderShown::FileSelected);
                         }
                     });
}

} // namespace velmora
