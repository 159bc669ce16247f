// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// The readers of the probe's answer and of the transfer's header values.
// Input: a key, a NUL, the answer text.
#include "download/core/httpheaders.h"
#include "download/core/probe.h"
#include "fuzzinput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace velmora;
    fuzz::Input in(data, size);
    const QByteArray key = in.field();
    const QByteArray answer = in.rest();
    const QString text = QString::fromUtf8(answer);

    FUZZ_CHECK(StatusOf(text).size() <= 3);
    const QString value = GetDataHead(text, QString::fromUtf8(key));
    FUZZ_CHECK(value.size() <= text.size());
    FUZZ_CHECK(!value.contains(QStringLiteral("\r\n")));
    GetDataHead(text, QStringLiteral("Location:"));

    FUZZ_CHECK(LeadingNumber(answer) >= 0);
    FUZZ_CHECK(LeadingNumber(key) >= 0);
    FUZZ_CHECK(ContentRangeStart(key) >= -1);
    FUZZ_CHECK(ContentRangeStart(answer) >= -1);
    return 0;
}
