// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// The address procedures of the download engine and the hand-off rules of
// the main window. Input: an address, a NUL, a server text.
#include "catalogue/core/handoff.h"
#include "download/core/address.h"
#include "download/core/engine.h"
#include "download/core/probe.h"
#include "fuzzinput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace velmora;
    fuzz::Input in(data, size);
    const QString address = QString::fromUtf8(in.field());
    const QString server = QString::fromUtf8(in.rest());

    AddressParts state;
    AnalyseAddress(state, address);
    if (!address.isEmpty())
        FUZZ_CHECK(state.strRequestURL == address);
    FUZZ_CHECK(!state.strFileName.contains(QLatin1Char('/')));

    for (const QString &s : {address, server, state.strServer}) {
        GetPort(s);
        FUZZ_CHECK(RemovePort(s).size() <= s.size());
        SplitPath(s, true, true);
        SplitPath(s, false, false);
        GetExtension(s);
        FileNameOf(s);
        DefaultNameOf(s);
    }

    // What goes into a request line never holds a blank, a control or a non-ASCII byte.
    const QByteArray request = BuildProbeRequest(address, server);
    const QByteArray line = EncodeForRequestLine(address);
    for (const char c : line)
        FUZZ_CHECK(uchar(c) > 0x20 && uchar(c) < 0x7f);
    FUZZ_CHECK(request.startsWith("GET " + line + " HTTP/1.1\r\n"));
    HoldsLineBreak(address);

    HandOffFor(address);
    if (MayOpenOnDesktop(address)) {
        for (const QChar c : address)
            FUZZ_CHECK(c.unicode() >= 0x20 && c.unicode() != 0x7f);
        FUZZ_CHECK(!address.startsWith(QStringLiteral("file:"), Qt::CaseInsensitive));
    }
    return 0;
}
