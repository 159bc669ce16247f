// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// The page scan and the cleanup of link texts. Input: the key, a NUL, the page.
#include "catalogue/core/pagescan.h"
#include "fuzzinput.h"

#include <QStringList>

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

    // Read as UTF-8 bytes, the same page gives the same links. (Invalid
    // UTF-8 is never scanned so: the decoded page differs from the bytes.)
    const QByteArray bytes = page.toUtf8();
    QStringList decodedLinks, byteLinks;
    ScanPage(page, key, [&](const QString &address, const QString &text) {
        decodedLinks << address << text;
        return true;
    });
    ScanUtf8Page(bytes, key, [&](const QString &address, const QString &text) {
        byteLinks << address << text;
        return true;
    });
    FUZZ_CHECK(byteLinks == decodedLinks);

    // The one-pass cleanup gives what a plain left-to-right replacement gives.
    const QString cleaned = RemoveFourSpaceRuns(page);
    FUZZ_CHECK(cleaned == QString(page).replace(QStringLiteral("    "), QString()));
    FUZZ_CHECK(CleanLinkText(cleaned).size() <= cleaned.size());
    // The cleanup is Qt's own case-insensitive remove and replace, in order.
    QString qt = cleaned;
    qt.remove(QStringLiteral("<font color=#e10900>"), Qt::CaseInsensitive);
    qt.remove(QStringLiteral("<font style=color:#e10900>"), Qt::CaseInsensitive);
    qt.remove(QStringLiteral("</font>"), Qt::CaseInsensitive);
    qt.replace(QStringLiteral("&amp;"), QStringLiteral("&"), Qt::CaseInsensitive);
    qt.replace(QStringLiteral("&lt;"), QStringLiteral("<"), Qt::CaseInsensitive);
    qt.replace(QStringLiteral("&gt;"), QStringLiteral(">"), Qt::CaseInsensitive);
    FUZZ_CHECK(CleanLinkText(cleaned) == qt);
    return 0;
}
