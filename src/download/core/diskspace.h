// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
#include <QString>
#include <QtGlobal>

#include <optional>

namespace velmora {

// Free bytes available to this user on the file system that holds `path` (a
// file to be created or a folder), asked of that file system itself; the
// nearest existing folder stands in for parts that do not exist yet. Nothing
// when the file system gives no answer: the query fails, or it keeps no count
// of its blocks (/proc, ramfs, some network and FUSE file systems).
std::optional<qint64> FreeSpaceOf(const QString &path);

// What a download is checked against before its body: FreeSpaceOf(path), or
// as many bytes as there can be when no answer can be had, so that a place
// that cannot be checked is not taken for a full one.
qint64 DiskFreeSpace(const QString &path);

} // namespace velmora
