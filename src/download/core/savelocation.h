// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Where the Save-As dialog starts and what it filters on.
#include "common/core/settings.h"

#include <QString>

namespace velmora {

// "MP3 格式文件 (*.mp3)" for "MP3": the filter entry of the Save-As dialog.
// The dialog matches its pattern without regard to letter case, so it also
// covers "*." + the type as written.
QString SaveDialogFilter(const QString &FileType);

// "My Music" in the user's music folder (the home folder when there is no
// music folder), never beside the program. Never created here.
QString InitialSaveFolder();

// Where the Save-As dialog opens: `preferred` when that folder exists,
// otherwise the user's music folder, otherwise the home folder; never the
// folder the program happens to be started from.
QString SaveDialogStartFolder(const QString &preferred);

// The kind of the catalogue the main window shows now.
CatalogueKind CatalogueKindNow();

// The folder downloads of this kind go to: the one the user last saved into
// while it still exists, "My Music" (InitialSaveFolder) until then.
QString SaveFolderFor(CatalogueKind kind);

// Remembers the folder of savePath, a path the user chose in Save-As, as the
// one to open next time for this kind. A path without a folder is no choice
// to remember.
void RememberSaveFolder(CatalogueKind kind, const QString &savePath);

} // namespace velmora
