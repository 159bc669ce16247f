// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Turning fetched bytes into text.
#include <QByteArray>
#include <QString>

namespace velmora {

// The charset named by a Content-Type value ("text/html; charset=gbk" ->
// "gbk"); empty when it names none.
QByteArray CharsetFromContentType(const QByteArray &contentType);

// The charset named by a <meta charset=...> or a <meta ... content="...;
// charset=..."> within the first few KB of an HTML page; empty when none.
QByteArray CharsetFromMeta(const QByteArray &page);

// Decodes bytes with a named charset. Returns false when the charset is not
// known here (the text is then left alone).
bool DecodeWithCharset(const QByteArray &bytes, const QByteArray &charset, QString &text);

// Decodes bytes with iconv; bytes that are not in the charset and a sequence
// cut off at the end become U+FFFD. False when iconv does not know the charset.
bool DecodeWithIconv(const QByteArray &bytes, const QByteArray &charset, QString &text);

// Decodes fetched bytes: the charset of the Content-Type first, then a meta
// declaration near the top of the page, then UTF-8 when the bytes are valid
// UTF-8, else GB18030 (the Chinese code page, a superset of GBK and GB2312).
QString DecodeFetchedText(const QByteArray &bytes, const QByteArray &contentType = QByteArray());

// DecodeFetchedText would read these bytes as UTF-8, and they are valid
// UTF-8: the text is then the bytes themselves, and a scan may read them
// without decoding the whole page.
bool IsValidUtf8Page(const QByteArray &bytes, const QByteArray &contentType = QByteArray());

} // namespace velmora
