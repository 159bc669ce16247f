// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// A download whose address came from a catalogue page may find it again
// there when the server says it is gone or forbidden: a file host's signed
// link that expired is listed on the page under a fresh one. The engine only
// asks; whoever knows the page (the main window, velmora-fetch --from-page)
// fetches it and looks.
#include <QString>

namespace velmora {

class ILinkRefresher
{
public:
    virtual ~ILinkRefresher() = default;
    // A new address for the item that was fetched from `address`, after the
    // server answered `status` (403, 404 or 410) for it; "" when there is
    // none: the page did not come, no longer lists the item, or lists it
    // under the same address.
    virtual QString FreshAddress(const QString &address, int status) = 0;
};

} // namespace velmora
