// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "download/core/digest.h"

#include "download/core/origin.h"

#include <QFile>
#include <QtEndian>

#include <optional>

namespace velmora {

namespace {

qsizetype LengthOf(HashKind kind)
{
    switch (kind) {
    case HashKind::Crc32: return 4;
    case HashKind::Md5: return 16;
    case HashKind::Sha256: return 32;
    case HashKind::Sha512: return 64;
    }
    return 0;
}

std::optional<HashKind> KindNamed(const QByteArray &name, bool withMd5)
{
    const QByteArray n = name.trimmed().toLower();
    if (n == "sha-256")
        return HashKind::Sha256;
    if (n == "sha-512")
        return HashKind::Sha512;
    if (withMd5 && n == "md5")
        return HashKind::Md5;
    return std::nullopt;
}

// Base64 of exactly the length a kind's hash has; nothing otherwise.
std::optional<QByteArray> HashBytes(HashKind kind, const QByteArray &text)
{
    const auto decoded = QByteArray::fromBase64Encoding(text.trimmed(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.size() != LengthOf(kind))
        return std::nullopt;
    return decoded.decoded;
}

// Members "key=value" of a comma list; the value without parameters (";...").
template<typename Take>
void ForEachMember(const QByteArray &value, Take take)
{
    for (const QByteArray &member : value.split(',')) {
        const qsizetype equals = member.indexOf('=');
        if (equals <= 0)
            continue;
        QByteArray rest = member.mid(equals + 1).trimmed();
        const qsizetype semicolon = rest.indexOf(';');
        if (semicolon >= 0)
            rest.truncate(semicolon);
        take(member.left(equals), rest.trimmed());
    }
}

// The kinds in the order their verdict is told when all hold: strongest first.
constexpr HashKind kStrongestFirst[] = {HashKind::Sha512, HashKind::Sha256, HashKind::Md5, HashKind::Crc32};

} // namespace

QString HashKindName(HashKind kind)
{
    switch (kind) {
    case HashKind::Crc32: return QStringLiteral("CRC32");
    case HashKind::Md5: return QStringLiteral("MD5");
    case HashKind::Sha256: return QStringLiteral("SHA-256");
    case HashKind::Sha512: return QStringLiteral("SHA-512");
    }
    return QString();
}

QString HashHex(HashKind kind, const QByteArray &value)
{
    const QString hex = QString::fromLatin1(value.toHex());
    return kind == HashKind::Crc32 ? hex.toUpper() : hex;
}

QList<Expectation> ReprDigestExpectations(const QByteArray &value)
{
    QList<Expectation> out;
    ForEachMember(value, [&out](const QByteArray &key, const QByteArray &item) {
        const std::optional<HashKind> kind = KindNamed(key, false);
        // A byte sequence of a structured field is written between colons.
        if (!kind || item.size() < 2 || !item.startsWith(':') || !item.endsWith(':'))
            return;
        if (const auto bytes = HashBytes(*kind, item.mid(1, item.size() - 2)))
            out << Expectation{*kind, *bytes};
    });
    return out;
}

QList<Expectation> DigestExpectations(const QByteArray &value)
{
    QList<Expectation> out;
    ForEachMember(value, [&out](const QByteArray &key, const QByteArray &item) {
        const std::optional<HashKind> kind = KindNamed(key, true);
        if (!kind)
            return;
        if (const auto bytes = HashBytes(*kind, item))
            out << Expectation{*kind, *bytes};
    });
    return out;
}

Expectation Crc32Expectation(quint32 crc)
{
    QByteArray bytes(4, Qt::Uninitialized);
    qToBigEndian(crc, bytes.data());
    return Expectation{HashKind::Crc32, bytes};
}

const QByteArray &FileHashes::of(HashKind kind) const
{
    switch (kind) {
    case HashKind::Md5: return md5;
    case HashKind::Sha256: return sha256;
    case HashKind::Sha512: return sha512;
    case HashKind::Crc32: break;
    }
    return crc32;
}

QByteArray &FileHashes::of(HashKind kind)
{
    return const_cast<QByteArray &>(std::as_const(*this).of(kind));
}

Verdict Judge(const QList<Expectation> &expected, const FileHashes &hashes)
{
    for (const Expectation &e : expected) {
        if (hashes.of(e.kind) != e.value)
            return Verdict{Verdict::Result::Mismatch, e.kind, e.value, hashes.of(e.kind)};
    }
    for (HashKind kind : kStrongestFirst) {
        for (const Expectation &e : expected)
            if (e.kind == kind)
                return Verdict{Verdict::Result::Ok, kind, e.value, e.value};
    }
    return Verdict{};
}

QString VerdictWords(const Verdict &v)
{
    const QString kind = HashKindName(v.kind);
    switch (v.result) {
    case Verdict::Result::Ok:
        return QStringLiteral("ok %1 %2").arg(kind, HashHex(v.kind, v.got));
    case Verdict::Result::Mismatch:
        return QStringLiteral("mismatch %1 expected %2 got %3")
            .arg(kind, HashHex(v.kind, v.expected), v.got.isEmpty() ? QStringLiteral("-") : HashHex(v.kind, v.got));
    case Verdict::Result::None:
        break;
    }
    return QStringLiteral("none");
}

QString VerdictStatusText(const Verdict &verdict)
{
    if (verdict.result != Verdict::Result::Ok)
        return QString();
    return QStringLiteral("校验通过 %1 %2").arg(HashKindName(verdict.kind), HashHex(verdict.kind, verdict.got));
}

bool WriteVerdictMark(const QString &path, const Verdict &verdict)
{
    return WriteAttribute(path, kVerifyAttribute, VerdictWords(verdict).toUtf8()) == OriginMark::Written;
}

} // namespace velmora
