// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// Turning fetched bytes into text. Input: a selector byte, a Content-Type
// value, a NUL, the page. The selector also picks a charset that only the
// iconv fallback knows, so its growth and error paths are run too.
#include "catalogue/core/textdecode.h"
#include "fuzzinput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace velmora;
    static const char *const kCharsets[] = {"TSCII", "EUC-TW", "UTF-7", "ISO-2022-JP-3", "GB18030",
                                            "BIG5-HKSCS", "UTF-16", "CP949", "IBM930", "UTF-8"};
    fuzz::Input in(data, size);
    const uint8_t selector = in.take<uint8_t>();
    const QByteArray contentType = in.field();
    const QByteArray page = in.rest();

    DecodeFetchedText(page, contentType);
    CharsetFromContentType(contentType);
    CharsetFromMeta(page);

    QString decoded;
    const char *charset = kCharsets[selector % (sizeof kCharsets / sizeof kCharsets[0])];
    if (DecodeWithCharset(page, charset, decoded)) {
        // No charset turns one byte into more than a handful of characters.
        FUZZ_CHECK(decoded.size() <= page.size() * 16 + 16);
    }
    return 0;
}
