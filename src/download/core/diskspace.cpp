// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "download/core/diskspace.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/statvfs.h>

#include <limits>

namespace velmora {

namespace {

// The folder that holds `path`, or that will once its missing parts are made.
QString NearestExistingFolder(const QString &path)
{
    QString probe = QDir::cleanPath(QDir::current().absoluteFilePath(path));
    while (!QFileInfo(probe).isDir()) {
        const QString parent = QFileInfo(probe).absolutePath();
        if (parent == probe)
            return QString();
        probe = parent;
    }
    return probe;
}

} // namespace

std::optional<qint64> FreeSpaceOf(const QString &path)
{
    if (path.isEmpty())
        return std::nullopt;
    const QString folder = NearestExistingFolder(path);
    if (folder.isEmpty())
        return std::nullopt;
    // statvfs rather than the volume list: in a container or a chroot the
    // list of mounts may be missing or name other volumes than the one the
    // folder is on, while the file system itself always knows.
    struct statvfs fs = {};
    if (::statvfs(QFile::encodeName(folder).constData(), &fs) != 0 || fs.f_blocks == 0)
        return std::nullopt;
    const unsigned long long unit = fs.f_frsize ? fs.f_frsize : fs.f_bsize;
    if (unit == 0)
        return std::nullopt;
    const unsigned long long cap = std::numeric_limits<qint64>::max();
    if (fs.f_bavail > cap / unit)
        return qint64(cap);
    return qint64(fs.f_bavail * unit);
}

qint64 DiskFreeSpace(const QString &path)
{
    return FreeSpaceOf(path).value_or(std::numeric_limits<qint64>::max());
}

} // namespace velmora
