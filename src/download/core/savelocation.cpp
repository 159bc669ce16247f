#include "download/core/savelocation.h"

#include "common/core/globals.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace velmora {

QString SaveDialogFilter(const QString &FileType)
{
    return FileType.toUpper() + QStringLiteral(" 格式文件 (*.") + FileType.toLower() + QStringLiteral(")");
}

QString InitialSaveFolder()
{
    const QString program = ProgramFolder();
    QString base = program;
    if (!FolderIsWritable(program)) {
        base = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
        if (base.isEmpty())
            base = QDir::homePath();
    }
    return QDir(base).filePath(QStringLiteral("My Music"));
}

QString SaveDialogStartFolder(const QString &preferred)
{
    if (!preferred.isEmpty() && QFileInfo(preferred).isDir())
        return preferred;
    const QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    if (!music.isEmpty() && QFileInfo(music).isDir())
        return music;
    return QDir::homePath();
}

} // namespace velmora
