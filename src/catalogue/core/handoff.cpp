// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "catalogue/core/handoff.h"

#include <QUrl>

namespace velmora {

namespace {

bool IsControl(QChar c)
{
    const char16_t u = c.unicode();
    return u < 0x20 || (u >= 0x7f && u <= 0x9f) || c.category() == QChar::Other_Format
           || u == 0x2028 || u == 0x2029;
}

bool IsRemoteScheme(const QString &scheme)
{
    static const QStringList remote = {
        QStringLiteral("http"), QStringLiteral("https"), QStringLiteral("ftp"),  QStringLiteral("ftps"),
        QStringLiteral("sftp"), QStringLiteral("mms"),   QStringLiteral("mmsh"), QStringLiteral("rtsp"),
        QStringLiteral("rtsps"), QStringLiteral("rtmp"),
    };
    return remote.contains(scheme);
}

// Magnet and eD2k links name a file by its hash; the desktop's download
// client fetches it from its peers. Neither has a host part, so they are
// recognised by their fixed start. A magnet link must read as a URL with
// that scheme; an eD2k link's "|" fields are no host a URL parser accepts,
// so it goes on as text (SharingLinkNeedsText).
bool IsSharingLink(const QString &address)
{
    if (address.startsWith(QStringLiteral("ed2k://|"), Qt::CaseInsensitive))
        return address.size() > 8;
    if (!address.startsWith(QStringLiteral("magnet:?"), Qt::CaseInsensitive) || address.size() <= 8)
        return false;
    const QUrl url(address);
    return url.isValid() && url.scheme().compare(QLatin1String("magnet"), Qt::CaseInsensitive) == 0;
}

} // namespace

HandOff HandOffFor(const QString &address)
{
    const qsizetype sep = address.indexOf(QStringLiteral("://"));
    const QString scheme = sep < 0 ? QString() : address.left(sep).toUpper();
    return scheme == QLatin1String("HTTP") ? HandOff::DownloadWindow : HandOff::Browser;
}

bool MayOpenOnDesktop(const QString &address)
{
    for (const QChar c : address) {
        if (IsControl(c))
            return false;
    }
    if (IsSharingLink(address))
        return true;
    // The text itself must start with the scheme and "://": a blank or
    // anything else in front would let the desktop read it differently.
    const qsizetype sep = address.indexOf(QStringLiteral("://"));
    if (sep <= 0)
        return false;
    const QString scheme = address.left(sep).toLower();
    if (!IsRemoteScheme(scheme))
        return false;
    // The desktop gets the address as QUrl reads it: that reading must agree.
    const QUrl url(address);
    return url.isValid() && url.scheme().toLower() == scheme && !url.host().isEmpty();
}

bool SharingLinkNeedsText(const QString &address)
{
    return MayOpenOnDesktop(address) && !QUrl(address).isValid();
}

} // namespace velmora
