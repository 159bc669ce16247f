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
// whose scheme names a resource on another computer qualifies: http, https,
// ftp, ftps, sftp and the streaming schemes mms, mmsh, rtsp, rtsps, rtmp,
// written in any case and followed by "//" and a host. Local files (file:),
// inline data (data:), script (javascript:), every other scheme, addresses
// without a scheme, and any address holding a control character are withheld.
bool MayOpenOnDesktop(const QString &address);

} // namespace velmora
