// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Where a downloaded file came from, kept with the file itself: the extended
// attribute "user.xdg.origin.url" that file managers, browsers, wget and curl
// read and write.
#include <QString>

namespace velmora {

inline constexpr char kOriginAttribute[] = "user.xdg.origin.url";

enum class OriginMark {
    Written,       // the attribute now holds the address
    NotSupported,  // the file system keeps no user attributes: nothing to do
    Failed,        // the file is gone or may not be changed
};

// The address as it is kept: user name and password left out, the rest
// percent-encoded; the text unchanged when it is no address at all.
QByteArray OriginValue(const QString &address);

// Marks the file at path as fetched from address. Never fatal: a download is
// complete whether or not its origin could be recorded.
OriginMark WriteOriginUrl(const QString &path, const QString &address);

} // namespace velmora
