#pragma once
#include <QString>
#include <QtGlobal>

namespace velmora {

// Free bytes available to this user on the volume that holds `path` (a file
// to be created or a folder); the nearest existing parent folder stands in
// for parts that do not exist yet. 0 when the query fails.
qint64 DiskFreeSpace(const QString &path);

} // namespace velmora
