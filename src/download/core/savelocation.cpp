// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "download/core/savelocation.h"

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

} // namespace velmora
