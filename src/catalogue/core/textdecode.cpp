// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "catalogue/core/textdecode.h"

#include <QRegularExpression>
#include <QStringDecoder>

#include <algorithm>

#include <iconv.h>

#include <cerrno>
#include <cstring>

namespace velmora {

QByteArray CharsetFromContentType(const QByteArray &contentType)
{
    const QList<QByteArray> parts = contentType.split(';');
    for (qsizetype i = 1; i < parts.size(); ++i) {
        const QByteArray p = parts.at(i).trimmed();
        const qsizetype eq = p.indexOf('=');
        if (eq < 0 || p.left(eq).trimmed().toLower() != "charset")
            continue;
        QByteArray v = p.mid(eq + 1).trimmed();
        if (v.size() >= 2 && (v.startsWith('"') || v.startsWith('\'')) && v.endsWith(v.at(0)))
            v = v.mid(1, v.size() - 2);
        return v.trimmed();
    }
    return {};
}

QByteArray CharsetFromMeta(const QByteArray &page)
{
    // Declarations must sit near the top of a page; looking further only
    // risks finding a charset quoted in the page's content.
    const QString head = QString::fromLatin1(page.left(4096));
    static const QRegularExpression meta(QStringLiteral("<meta\\b[^>]*>"), QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression charset(QStringLiteral("charset\\s*=\\s*[\"']?\\s*([A-Za-z0-9_:.+-]+)"),
                                            QRegularExpression::CaseInsensitiveOption);
    auto it = meta.globalMatch(head);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = charset.match(it.next().captured(0));
        if (m.hasMatch())
            return m.captured(1).toLatin1();
    }
    return {};
}

namespace {

// Writes the UTF-8 replacement character at used, growing the output as needed.
void PutReplacement(QByteArray &out, size_t &used)
{
    if (size_t(out.size()) - used < 3)
        out.resize(out.size() * 2 + 3);
    std::memcpy(out.data() + used, "\xEF\xBF\xBD", 3);
    used += 3;
}

} // namespace

// iconv stands in where Qt's own codecs do not know a charset. A byte may
// become many (one TSCII byte is a syllable of four characters, twelve bytes
// of UTF-8), so the page goes through in slices, each with ample room for its
// output. Running out of room halfway through a byte's characters is avoided:
// glibc's TSCII converter then writes wrong characters.
bool DecodeWithIconv(const QByteArray &bytes, const QByteArray &charset, QString &text)
{
    constexpr size_t kSlice = 4096;
    constexpr size_t kRoomPerByte = 16;  // more than any charset needs
    iconv_t cd = iconv_open("UTF-8", charset.constData());
    if (cd == iconv_t(-1))
        return false;
    QByteArray out;
    size_t used = 0;
    char *in = const_cast<char *>(bytes.constData());
    size_t inLeft = size_t(bytes.size());
    bool flushing = false;  // the input is used up; write any pending shift state
    for (;;) {
        const size_t room = kSlice * kRoomPerByte + 64;
        if (size_t(out.size()) - used < room)
            out.resize(qsizetype(qMax(used + room, size_t(out.size()) * 2)));
        char *dst = out.data() + used;
        size_t outLeft = size_t(out.size()) - used;
        size_t sliceLeft = qMin(inLeft, kSlice);
        const size_t slice = sliceLeft;
        const size_t r = flushing ? iconv(cd, nullptr, nullptr, &dst, &outLeft)
                                  : iconv(cd, &in, &sliceLeft, &dst, &outLeft);
        const int err = errno;
        used = size_t(dst - out.constData());
        const size_t consumed = slice - sliceLeft;
        inLeft -= consumed;
        if (r != size_t(-1)) {
            if (flushing)
                break;
            flushing = inLeft == 0;
            continue;
        }
        if (err == E2BIG) {
            out.resize(out.size() * 2);
            continue;
        }
        if (flushing || (err != EILSEQ && err != EINVAL))
            break;
        if (err == EINVAL && inLeft > sliceLeft && consumed > 0)
            continue;  // a sequence cut by the slice's end: the next slice holds the rest
        // A byte that is not in the charset, or a sequence cut off by the
        // end of the page: a replacement character, and on after it.
        ++in;
        --inLeft;
        PutReplacement(out, used);
    }
    iconv_close(cd);
    out.truncate(qsizetype(used));
    text = QString::fromUtf8(out);
    return true;
}

bool DecodeWithCharset(const QByteArray &bytes, const QByteArray &charset, QString &text)
{
    if (charset.isEmpty())
        return false;
    QStringDecoder decoder(charset.constData());
    if (decoder.isValid()) {
        text = decoder.decode(bytes);
        return true;
    }
    return DecodeWithIconv(bytes, charset, text);
}

bool IsValidUtf8Page(const QByteArray &bytes, const QByteArray &contentType)
{
    QByteArray charset = CharsetFromContentType(contentType);
    if (charset.isEmpty())
        charset = CharsetFromMeta(bytes);
    charset = charset.toLower();
    if (!charset.isEmpty() && charset != "utf-8" && charset != "utf8")
        return false;
    // In slices, so that checking a large page does not make a second copy of it.
    constexpr qsizetype kSlice = 1 << 20;
    QStringDecoder utf8(QStringDecoder::Utf8);
    for (qsizetype at = 0; at < bytes.size() && !utf8.hasError(); at += kSlice) {
        const QString slice = utf8.decode(QByteArrayView(bytes).sliced(at, std::min(kSlice, bytes.size() - at)));
        Q_UNUSED(slice);
    }
    return !utf8.hasError();
}

QString DecodeFetchedText(const QByteArray &bytes, const QByteArray &contentType)
{
    QString text;
    if (DecodeWithCharset(bytes, CharsetFromContentType(contentType), text))
        return text;
    if (DecodeWithCharset(bytes, CharsetFromMeta(bytes), text))
        return text;
    QStringDecoder utf8(QStringDecoder::Utf8);
    text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    if (DecodeWithCharset(bytes, QByteArrayLiteral("GB18030"), text))
        return text;
    return QString::fromLatin1(bytes);
}

} // namespace velmora
