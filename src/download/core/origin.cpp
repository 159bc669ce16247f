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

} // namespace velmora
