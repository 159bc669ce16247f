// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Where the Download button sends the address of the selected item.
#include <QString>

namespace velmora {

enum class HandOff {
    DownloadWindow,  // the scheme is http (any case): the program's own engine
    Browser,         // anything else: the browser component
};

// The scheme before the first "://", upper-cased; http in any case goes to
// the download window, every other address (no "://" at all included) to
// the browser component.
HandOff HandOffFor(const QString &address);

// Whether the browser component may pass an address on to the desktop.
// Addresses come from pages anyone can write, so only an absolute address
// that names something the desktop fetches from elsewhere qualifies: http,
// https, ftp, ftps, sftp and the streaming schemes mms, mmsh, rtsp, rtsps,
// rtmp followed by "//" and a host, and the file-sharing links magnet:?...
// and ed2k://..., written in any case. Local files (file:), inline data
// (data:), script (javascript:, vbscript:), shares (smb:), every other
// scheme, addresses without a scheme, and any address holding a control or
// format character are withheld.
bool MayOpenOnDesktop(const QString &address);

// An address MayOpenOnDesktop allows that no URL object can carry (an eD2k
// link): it is given to the desktop's opener as text.
bool SharingLinkNeedsText(const QString &address);

} // namespace velmora
