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

OriginMark WriteAttribute(const QString &path, const char *name, const QByteArray &value)
{
#ifdef VELMORA_HAS_XATTR
    const QByteArray file = QFile::encodeName(path);
    if (::setxattr(file.constData(), name, value.constData(), size_t(value.size()), 0) == 0)
        return OriginMark::Written;
    // ENOTSUP: no user attributes here (some tmpfs, FAT, network shares).
    return errno == ENOTSUP ? OriginMark::NotSupported : OriginMark::Failed;
#else
    Q_UNUSED(path);
    Q_UNUSED(name);
    Q_UNUSED(value);
    return OriginMark::NotSupported;
#endif
}

std::optional<QByteArray> ReadAttribute(const QString &path, const char *name)
{
#ifdef VELMORA_HAS_XATTR
    char value[8192];
    const ssize_t n = ::getxattr(QFile::encodeName(path).constData(), name, value, sizeof value);
    if (n < 0)
        return std::nullopt;
    return QByteArray(value, qsizetype(n));
#else
    Q_UNUSED(path);
    Q_UNUSED(name);
    return std::nullopt;
#endif
}

OriginMark WriteOriginUrl(const QString &path, const QString &address)
{
    return WriteAttribute(path, kOriginAttribute, OriginValue(address));
}

OriginMark WritePartVersion(const QString &path, const QString &address, const QByteArray &validator)
{
    // The validator first: a part whose address is kept always has its version beside it.
    const OriginMark mark = WriteAttribute(path, kPartVersionAttribute, validator);
    if (mark != OriginMark::Written)
        return mark;
    return WriteAttribute(path, kPartAddressAttribute, OriginValue(address));
}

std::optional<PartVersion> ReadPartVersion(const QString &path)
{
    const std::optional<QByteArray> address = ReadAttribute(path, kPartAddressAttribute);
    const std::optional<QByteArray> validator = ReadAttribute(path, kPartVersionAttribute);
    if (!address || !validator)
        return std::nullopt;
    return PartVersion{*address, *validator};
}

} // namespace velmora
