// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// The page scan and the cleanup of link texts. Input: the key, a NUL, the page.
#include "catalogue/core/pagescan.h"
#include "fuzzinput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace velmora;
    fuzz::Input in(data, size);
    const QString key = QString::fromUtf8(in.field());
    const QString page = QString::fromUtf8(in.rest());

    qsizetype calls = 0;
    const qsizetype taken = ScanPage(page, key, [&](const QString &address, const QString &text) {
        ++calls;
        FUZZ_CHECK(!address.contains(QLatin1Char('"')));
        FUZZ_CHECK(address.contains(key, Qt::CaseInsensitive));
        FUZZ_CHECK(text.size() <= page.size());
        return true;
    });
    FUZZ_CHECK(taken == calls);

    // The one-pass cleanup gives what a plain left-to-right replacement gives.
    const QString cleaned = RemoveFourSpaceRuns(page);
    FUZZ_CHECK(cleaned == QString(page).replace(QStringLiteral("    "), QString()));
    FUZZ_CHECK(CleanLinkText(cleaned).size() <= cleaned.size());
    return 0;
}
