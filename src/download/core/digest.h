// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// What a downloaded file is expected to hash to, where that is known: the
// CRC32 in its name, and the digests a server sends (Repr-Digest, the older
// Digest); and the verdict once the file's own hashes are in.
#include <QByteArray>
#include <QList>
#include <QString>

namespace velmora {

enum class HashKind { Crc32, Md5, Sha256, Sha512 };

// "CRC32", "MD5", "SHA-256", "SHA-512".
QString HashKindName(HashKind kind);
// As written in a verdict: CRC32 in upper case, as release names carry it;
// the others in lower case, as sha256sum prints them.
QString HashHex(HashKind kind, const QByteArray &value);

struct Expectation
{
    HashKind kind;
    QByteArray value;  // the raw hash (CRC32: 4 bytes, big-endian)
};

// Repr-Digest (RFC 9530: sha-256=:base64:, sha-512=:base64:), or
// Content-Digest in the same form. Unknown or malformed members are passed over.
QList<Expectation> ReprDigestExpectations(const QByteArray &value);
// Digest (RFC 3230: SHA-256=base64, SHA-512=base64, MD5=base64).
QList<Expectation> DigestExpectations(const QByteArray &value);
// The CRC32 as an expectation.
Expectation Crc32Expectation(quint32 crc);

struct Verdict
{
    enum class Result { None, Ok, Mismatch };
    Result result = Result::None;
    HashKind kind = HashKind::Crc32;
    QByteArray expected;  // what a source said (Ok: the file's hash)
    QByteArray got;       // what the file hashed to
};

// Every expectation must hold; the first that does not is the verdict. When
// all hold, the verdict names the strongest hash checked. `hashes` holds the
// file's hash for each kind (absent: not computed, which counts as a mismatch).
struct FileHashes
{
    QByteArray crc32, md5, sha256, sha512;
    const QByteArray &of(HashKind kind) const;
    QByteArray &of(HashKind kind);
};
Verdict Judge(const QList<Expectation> &expected, const FileHashes &hashes);

// The verdict in words, as the file's attribute and velmora-fetch keep it:
// "ok CRC32 1A2B3C4D", "mismatch CRC32 expected 1A2B3C4D got 0BADF00D", "none".
QString VerdictWords(const Verdict &verdict);
// What the download window's status line says after "下载完毕:": "校验通过
// CRC32 1A2B3C4D" for a file that matched, "" when nothing vouched for it.
QString VerdictStatusText(const Verdict &verdict);

// The verdict kept with the file, in its own words (VerdictWords), where the
// file system keeps user attributes; false when it could not be written.
inline constexpr char kVerifyAttribute[] = "user.velmora.verify";
bool WriteVerdictMark(const QString &path, const Verdict &verdict);

} // namespace velmora
