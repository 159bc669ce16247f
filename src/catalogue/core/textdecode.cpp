#include "catalogue/core/textdecode.h"

#include <QRegularExpression>
#include <QStringDecoder>

#include <iconv.h>

#include <cerrno>

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

// iconv stands in where Qt's own codecs do not know a charset.
static bool DecodeWithIconv(const QByteArray &bytes, const QByteArray &charset, QString &text)
{
    iconv_t cd = iconv_open("UTF-8", charset.constData());
    if (cd == iconv_t(-1))
        return false;
    QByteArray out;
    out.resize(bytes.size() * 4 + 16);
    char *in = const_cast<char *>(bytes.constData());
    size_t inLeft = size_t(bytes.size());
    char *dst = out.data();
    size_t outLeft = size_t(out.size());
    while (inLeft > 0) {
        if (iconv(cd, &in, &inLeft, &dst, &outLeft) != size_t(-1))
            break;
        if (errno == EILSEQ || errno == EINVAL) {
            // A byte that is not in the charset: keep going after it.
            ++in;
            --inLeft;
            if (outLeft >= 3) {
                memcpy(dst, "\xEF\xBF\xBD", 3);
                dst += 3;
                outLeft -= 3;
            }
            continue;
        }
        break;  // E2BIG cannot happen with four bytes of room per byte
    }
    iconv_close(cd);
    out.truncate(dst - out.constData());
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
