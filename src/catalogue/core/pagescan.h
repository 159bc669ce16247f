// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The page scan: finds the quoted href links of a page whose address contains
// a key and cuts out their address and cleaned inner text.
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <functional>

namespace velmora {

// Removes every run of exactly four spaces, left to right, without overlap
// (five spaces leave one).
QString RemoveFourSpaceRuns(QString text);

// Strips the search service's highlight tags and decodes the three entities,
// ignoring case and in this order: "<font color=#e10900>",
// "<font style=color:#e10900>", "</font>" removed; then "&amp;" -> "&",
// "&lt;" -> "<", "&gt;" -> ">", each step seeing the previous one's output.
QString CleanLinkText(QString text);

// Called for each taken link with its address (exactly as written between the
// quotes) and its text (four-space runs removed and cleaned). Return false to
// stop the scan.
using LinkSink = std::function<bool(const QString &address, const QString &text)>;

// Scans page for href="..." (any case). A link is taken when its address
// contains key (any case); its text runs from the first ">" after the
// marker to the next "</a>" (any case). The next search starts after the
// "</a>" of a taken link, or after the closing quote of a skipped one.
//
// A truncated or malformed page ends the scan: a marker without a closing
// quote, or a taken link without a ">" or a "</a>" after it, gives no item
// and nothing after it is searched. Every step moves strictly forward, so
// the scan always ends. Returns the number of links passed to sink.
qsizetype ScanPage(QStringView page, QStringView key, const LinkSink &sink);

// Called for each taken link of a UTF-8 page with its address and its
// cleaned text, both as UTF-8 bytes. The views hold until the call returns.
using Utf8LinkSink = std::function<bool(QByteArrayView address, QByteArrayView text)>;

// The same scan on a page held as valid UTF-8 bytes, with the same links,
// addresses and texts as ScanPage on the decoded page, in UTF-8: every
// marker is ASCII, so it is found at the same places, and the addresses and
// texts are cut and cleaned as bytes. A large page is then held once, as it
// came, and its items never pass through UTF-16.
qsizetype ScanUtf8Bytes(QByteArrayView page, QStringView key, const Utf8LinkSink &sink);
// The same, each link decoded for a sink of QStrings.
qsizetype ScanUtf8Page(QByteArrayView page, QStringView key, const LinkSink &sink);

} // namespace velmora
