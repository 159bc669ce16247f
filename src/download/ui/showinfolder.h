// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The Folder button's way of showing a downloaded file: the desktop's file
// manager opens the folder with the file selected, as browsers do it; when no
// file manager answers, the folder is opened with its associated program.
#include <QDBusConnection>
#include <QString>

#include <functional>

namespace velmora {

enum class FolderShown {
    FileSelected,   // a file manager took the request
    FolderOpened,   // none answered: the folder was opened instead
    NothingOpened,  // none answered and the folder could not be opened either
};

struct ShowInFolderOptions
{
    // The bus the file manager is asked on.
    QDBusConnection bus = QDBusConnection::sessionBus();
    // How long a file manager may take to answer (it may first have to start).
    int timeoutMs = 5000;
    // Told how the file was shown, from the event loop or at once.
    std::function<void(FolderShown)> done;
};

// Returns at once: the answer of the file manager is awaited in the event
// loop, so the caller (a window about to close) need not stay around.
void ShowInFolder(const QString &filePath, ShowInFolderOptions options = {});

} // namespace velmora
