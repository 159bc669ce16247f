// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "download/core/savelocation.h"

#include "common/core/globals.h"
#include "common/core/paths.h"

#include <QDir>
#include <QFileInfo>

namespace velmora {

QString SaveDialogFilter(const QString &FileType)
{
    return FileType.toUpper() + QStringLiteral(" 格式文件 (*.") + FileType.toLower() + QStringLiteral(")");
}

QString InitialSaveFolder()
{
    return QDir(UserMusicFolder()).filePath(QStringLiteral("My Music"));
}

QString SaveDialogStartFolder(const QString &preferred)
{
    if (!preferred.isEmpty() && QFileInfo(preferred).isDir())
        return preferred;
    return UserMusicFolder();
}

CatalogueKind CatalogueKindNow()
{
    return blnAnimeMode ? CatalogueKind::Anime : CatalogueKind::Music;
}

QString SaveFolderFor(CatalogueKind kind)
{
    const QString stored = StoredSaveFolder(kind);
    // A folder since removed (an unplugged disk) is not where downloads go.
    if (!stored.isEmpty() && QFileInfo(stored).isDir())
        return stored;
    return InitialSaveFolder();
}

void RememberSaveFolder(CatalogueKind kind, const QString &savePath)
{
    if (savePath.isEmpty())
        return;
    const QFileInfo chosen(savePath);
    const QString folder = chosen.absolutePath();
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        return;
    // Remembering is a convenience: a settings file that cannot be written
    // costs the user nothing but the next dialog's starting folder.
    StoreSaveFolder(kind, QDir::cleanPath(folder));
}

} // namespace velmora
