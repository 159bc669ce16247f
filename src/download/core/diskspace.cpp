#include "download/core/diskspace.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>

#include <algorithm>

namespace velmora {

qint64 DiskFreeSpace(const QString &path)
{
    if (path.isEmpty())
        return 0;
    QFileInfo info(QDir::cleanPath(QDir(QDir::currentPath()).absoluteFilePath(path)));
    QString probe = info.absoluteFilePath();
    // Walk up to something that exists: the folder that will hold the file.
    while (!QFileInfo::exists(probe) || !QFileInfo(probe).isDir()) {
        const QString parent = QFileInfo(probe).absolutePath();
        if (parent == probe)
            return 0;
        probe = parent;
    }
    const QStorageInfo storage(probe);
    if (!storage.isValid() || !storage.isReady())
        return 0;
    return std::max<qint64>(0, storage.bytesAvailable());
}

} // namespace velmora
