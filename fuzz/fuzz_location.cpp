// SPDX-FileCopyrightText: 2026 Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Where a probe's redirect leads, the host and port of an address (IPv6
// literals, user info), addresses shown without their password, and the
// proxy settings read from the environment.
// Input: the probed address, a NUL, the Location value, a NUL, a no_proxy list.
#include "download/core/address.h"
#include "download/core/probe.h"
#include "fuzzinput.h"
#include "net/proxy.h"
#include "net/transfer.h"

#include <QUrl>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace velmora;
    fuzz::Input in(data, size);
    const QString probed = QString::fromUtf8(in.field());
    const QString location = QString::fromUtf8(in.field());
    const QString noProxy = QString::fromUtf8(in.rest());

    const QString resolved = ResolveProbeLocation(probed, location);
    // A relative Location against an absolute http address becomes absolute;
    // one that is no address at all is passed on as it came.
    const QUrl base(probed, QUrl::TolerantMode);
    const QUrl target(location, QUrl::TolerantMode);
    if (base.isValid() && base.scheme() == QLatin1String("http") && !base.host().isEmpty() && target.isRelative()) {
        const bool absolute = !QUrl(resolved, QUrl::TolerantMode).isRelative();
        FUZZ_CHECK(absolute || (!target.isValid() && resolved == location));
    }

    FUZZ_CHECK(RemovePort(probed).size() <= probed.size());
    FUZZ_CHECK(HasPort(probed) || GetPort(probed) == 80);
    FUZZ_CHECK(!RemoveUserInfo(probed).contains(QLatin1Char('@')));

    const QUrl withUser(probed, QUrl::TolerantMode);
    const QString shown = net::WithoutUserInfo(probed);
    if (withUser.isValid() && !withUser.password().isEmpty() && probed.contains(QLatin1String("://")))
        FUZZ_CHECK(QUrl(shown, QUrl::TolerantMode).password().isEmpty());

    net::NoProxyMatches(noProxy, location);
    FUZZ_CHECK(net::NoProxyMatches(QStringLiteral("*"), location));
    // A proxy address that was set never means "straight to the server": it is
    // used (and names a host) or it is unusable, and then every request fails.
    const net::ProxyChoice proxy = net::ParseProxyAddress(noProxy);
    FUZZ_CHECK(!proxy.direct());
    FUZZ_CHECK(proxy.kind == net::ProxyChoice::Kind::Unusable || !proxy.host.isEmpty());
    return 0;
}
