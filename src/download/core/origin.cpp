// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "download/core/origin.h"

#include <QFile>
#include <QUrl>

#include <cerrno>

#if __has_include(<sys/xattr.h>)
#include <sys/xattr.h>
#define VELMORA_HAS_XATTR 1
#endif

namespace velmora {

QByteArray OriginValue(const QString &address)
{
    const QUrl url(address.trimmed());
    if (!url.isValid() || url.scheme().isEmpty() || url.host().isEmpty())
        return address.toUtf8();
    // A password in the address must not travel on with the file.
    return url.toEncoded(QUrl::RemoveUserInfo);
}

OriginMark WriteOriginUrl(const QString &path, const QString &address)
{
#ifdef VELMORA_HAS_XATTR
    const QByteArray file = QFile::encodeName(path);
    const QByteArray value = OriginValue(address);
    if (::setxattr(file.constData(), kOriginAttribute, value.constData(), size_t(value.size()), 0) == 0)
        return OriginMark::Written;
    // ENOTSUP: no user attributes here (some tmpfs, FAT, network shares).
    return errno == ENOTSUP ? OriginMark::NotSupported : OriginMark::Failed;
#else
    Q_UNUSED(path);
    Q_UNUSED(address);
    return OriginMark::NotSupported;
#endif
}

namespace {

#ifdef VELMORA_HAS_XATTR
OriginMark SetAttribute(const QByteArray &file, const char *name, const QByteArray &value)
{
    if (::setxattr(file.constData(), name, value.constData(), size_t(value.size()), 0) == 0)
        return OriginMark::Written;
    return errno == ENOTSUP ? OriginMark::NotSupported : OriginMark::Failed;
}

std::optional<QByteArray> Attribute(const QByteArray &file, const char *name)
{
    // Addresses and validators are short; a longer value is none of ours.
    char value[8192];
    const ssize_t n = ::getxattr(file.constData(), name, value, sizeof value);
    if (n < 0)
        return std::nullopt;
    return QByteArray(value, qsizetype(n));
}
#endif

} // namespace

OriginMark WritePartVersion(const QString &path, const QString &address, const QByteArray &validator)
{
#ifdef VELMORA_HAS_XATTR
    const QByteArray file = QFile::encodeName(path);
    // The validator first: a part whose address is kept always has its version beside it.
    const OriginMark mark = SetAttribute(file, kPartVersionAttribute, validator);
    if (mark != OriginMark::Written)
        return mark;
    return SetAttribute(file, kPartAddressAttribute, OriginValue(address));
#else
    Q_UNUSED(path);
    Q_UNUSED(address);
    Q_UNUSED(validator);
    return OriginMark::NotSupported;
#endif
}

std::optional<PartVersion> ReadPartVersion(const QString &path)
{
#ifdef VELMORA_HAS_XATTR
    const QByteArray file = QFile::encodeName(path);
    const std::optional<QByteArray> address = Attribute(file, kPartAddressAttribute);
    const std::optional<QByteArray> validator = Attribute(file, kPartVersionAttribute);
    if (!address || !validator)
        return std::nullopt;
    return PartVersion{*address, *validator};
#else
    Q_UNUSED(path);
    return std::nullopt;
#endif
}

} // namespace velmora
