// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Where a downloaded file came from, kept with the file itself: the extended
// attribute "user.xdg.origin.url" that file managers, browsers, wget and curl
// read and write.
#include <QByteArray>
#include <QString>

#include <optional>

namespace velmora {

inline constexpr char kOriginAttribute[] = "user.xdg.origin.url";

enum class OriginMark {
    Written,       // the attribute now holds the address
    NotSupported,  // the file system keeps no user attributes: nothing to do
    Failed,        // the file is gone or may not be changed
};

// One extended attribute of the file at path. Writing never throws the
// file away; NotSupported where the file system keeps no user attributes.
OriginMark WriteAttribute(const QString &path, const char *name, const QByteArray &value);
// Its value; nothing when the file has none, or the file system keeps none.
// Our values are short (an address, a validator, a verdict): a longer one is not ours.
std::optional<QByteArray> ReadAttribute(const QString &path, const char *name);

// The address as it is kept: user name and password left out, the rest
// percent-encoded; the text unchanged when it is no address at all.
QByteArray OriginValue(const QString &address);

// Marks the file at path as fetched from address. Never fatal: a download is
// complete whether or not its origin could be recorded.
OriginMark WriteOriginUrl(const QString &path, const QString &address);

// A part on disk remembers the version it is of: the address and the
// validator (strong ETag, else Last-Modified) of the answer its body came
// from, so that a resume in a later run asks for that version and no other.
inline constexpr char kPartAddressAttribute[] = "user.velmora.url";
inline constexpr char kPartVersionAttribute[] = "user.velmora.validator";

struct PartVersion
{
    QByteArray address;    // as OriginValue() keeps it
    QByteArray validator;  // "" when the answer named none
};

// Keeps both with the file; NotSupported where the file system keeps no attributes.
OriginMark WritePartVersion(const QString &path, const QString &address, const QByteArray &validator);
// What the file keeps; nothing when it keeps none (or no attributes at all).
std::optional<PartVersion> ReadPartVersion(const QString &path);

} // namespace velmora
