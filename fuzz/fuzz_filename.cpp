// SPDX-FileCopyrightText: 2026 Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The name a download is proposed under: the Content-Disposition reader, the
// name from an address and the name cleaner; the checksum in a name and the
// digest headers. Whatever the server sends, the name stays inside the folder.
// Input: a Content-Disposition value, a NUL, an address, a NUL, a digest header.
#include "download/core/digest.h"
#include "download/core/filename.h"
#include "fuzzinput.h"

namespace {

bool IsSafe(const QString &name)
{
    if (name.isEmpty())
        return true;
    if (name.toUtf8().size() > velmora::kMaxNameBytes || name.startsWith(QLatin1Char('.'))
        || name.endsWith(QLatin1Char('.')) || name.endsWith(QLatin1Char(' ')))
        return false;
    for (QChar c : name)
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c.unicode() < 0x20 || c.unicode() == 0x7f)
            return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace velmora;
    fuzz::Input in(data, size);
    const QByteArray disposition = in.field();
    const QString address = QString::fromUtf8(in.field());
    const QByteArray digest = in.rest();

    const QString given = ContentDispositionName(disposition);
    FUZZ_CHECK(!given.contains(QLatin1Char('/')) && !given.contains(QLatin1Char('\\')));
    const QString proposed = ProposedFileName(disposition, address);
    FUZZ_CHECK(IsSafe(proposed));
    FUZZ_CHECK(SafeFileName(proposed) == proposed);  // clean once is clean for good
    const QString fromAddress = SafeFileName(NameFromAddress(address));
    FUZZ_CHECK(IsSafe(fromAddress));
    // A checksum group survives the shortening of a long name (one that
    // needed no shortening itself: a cut can happen to end at a group).
    const QString longName = QString(300, QLatin1Char('a')) + given;
    if (given.toUtf8().size() < kMaxNameBytes && ChecksumInName(SafeFileName(given)))
        FUZZ_CHECK(ChecksumInName(SafeFileName(longName)) == ChecksumInName(SafeFileName(given)));

    for (const Expectation &e : ReprDigestExpectations(digest) + DigestExpectations(digest))
        FUZZ_CHECK(e.kind != HashKind::Crc32 && !e.value.isEmpty());
    return 0;
}
