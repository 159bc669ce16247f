// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The name a downloaded file is proposed under: the one the server gives in
// Content-Disposition, else the address's last segment decoded; then made
// safe to create inside the chosen folder. And the CRC32 that anime releases
// carry in their names.
#include <QByteArray>
#include <QString>

#include <optional>

namespace velmora {

// The longest name most Linux file systems accept, in bytes of UTF-8.
inline constexpr qsizetype kMaxNameBytes = 255;

// Bytes of a name: UTF-8 when they are valid UTF-8, else GB18030 (the Chinese
// code page, a superset of GBK), which every byte sequence decodes in.
QString DecodeNameBytes(const QByteArray &bytes);

// The file name a Content-Disposition value gives: filename* (RFC 8187, any
// charset Qt knows) over filename; a filename in %XX form is decoded when
// that gives valid UTF-8. "" when it names none. Not yet made safe.
QString ContentDispositionName(const QByteArray &value);

// The last "/"-segment of an address, without query or fragment,
// percent-decoded (UTF-8, else GB18030). Not yet made safe.
QString NameFromAddress(const QString &address);

// A name that can only be a file directly inside the chosen folder: no "/",
// "\", NUL, control or format characters (each becomes "_"), no leading
// dots, no trailing dots or spaces, at most kMaxNameBytes of UTF-8, cut in
// the title so that the extension and a checksum group survive.
QString SafeFileName(const QString &name);

// The name proposed in Save-As: from Content-Disposition when it gives one,
// otherwise from the address; made safe. "" when neither names anything.
QString ProposedFileName(const QByteArray &contentDisposition, const QString &address);

// The CRC32 a release carries in its name: the last bracketed group, right
// before the extension (at most 32 bytes after the last dot, no blank or
// bracket in it), when it is exactly 8 hex digits ("[1A2B3C4D].mkv").
std::optional<quint32> ChecksumInName(const QString &name);

} // namespace velmora
