// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "download/core/filename.h"

#include <QByteArrayView>
#include <QList>
#include <QRegularExpression>
#include <QStringDecoder>

namespace velmora {

namespace {

struct Parameter
{
    QByteArray name;  // in lower case
    QByteArray value; // unquoted, escapes taken out
};

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

// A quoted string from its opening quote on; `at` ends after the closing one.
QByteArray QuotedText(const QByteArray &text, qsizetype &at)
{
    QByteArray out;
    for (++at; at < text.size() && text[at] != '"'; ++at) {
        if (text[at] == '\\' && at + 1 < text.size())
            ++at;
        out += text[at];
    }
    ++at;
    return out;
}

// The "name=value" parameters of a header value, in order. The disposition
// type in front (a token without "=") and anything unreadable are passed over.
QList<Parameter> ParametersOf(const QByteArray &text)
{
    QList<Parameter> out;
    qsizetype at = 0;
    while (at < text.size()) {
        const qsizetype equals = text.indexOf('=', at);
        const qsizetype semicolon = text.indexOf(';', at);
        if (equals < 0)
            break;
        if (semicolon >= 0 && semicolon < equals) {
            at = semicolon + 1;
            continue;
        }
        Parameter p{text.mid(at, equals - at).trimmed().toLower(), QByteArray()};
        at = equals + 1;
        while (at < text.size() && IsBlank(text[at]))
            ++at;
        if (at < text.size() && text[at] == '"') {
            p.value = QuotedText(text, at);
            const qsizetype next = text.indexOf(';', at);
            at = next < 0 ? text.size() : next + 1;
        } else {
            const qsizetype next = text.indexOf(';', at);
            const qsizetype end = next < 0 ? text.size() : next;
            p.value = text.mid(at, end - at).trimmed();
            at = end + 1;
        }
        out << p;
    }
    return out;
}

// filename*=charset'language'%XX...: "" when the charset is unknown or the
// bytes are not text in it.
QString ExtendedValue(const QByteArray &value)
{
    const qsizetype first = value.indexOf('\'');
    const qsizetype second = first < 0 ? -1 : value.indexOf('\'', first + 1);
    if (second < 0)
        return QString();
    const QByteArray charset = value.left(first).trimmed().toUpper();
    const QByteArray bytes = QByteArray::fromPercentEncoding(value.mid(second + 1));
    if (charset == "UTF-8")
        return QByteArrayView(bytes).isValidUtf8() ? QString::fromUtf8(bytes) : QString();
    if (charset == "ISO-8859-1")
        return QString::fromLatin1(bytes);
    QStringDecoder decoder(charset.constData());
    if (!decoder.isValid())
        return QString();
    const QString text = decoder.decode(bytes);
    return decoder.hasError() ? QString() : text;
}

// A plain filename: its bytes as they are, or their %XX form decoded when
// that is UTF-8 (what many servers send for a Chinese name).
QString PlainValue(const QByteArray &value)
{
    if (value.contains('%')) {
        const QByteArray decoded = QByteArray::fromPercentEncoding(value);
        if (decoded != value && QByteArrayView(decoded).isValidUtf8())
            return QString::fromUtf8(decoded);
    }
    return DecodeNameBytes(value);
}

// Only the last part of a path a server sends is a name for us.
QString LastPathPart(const QString &path)
{
    const qsizetype cut = qMax(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
    return path.mid(cut + 1);
}

bool Unsafe(char32_t c)
{
    if (c == '/' || c == '\\' || c < 0x20 || (c >= 0x7f && c < 0xa0))
        return true;
    // Format characters (bidirectional overrides, zero-width joiners) can
    // make a name read as something else than it is.
    return QChar::category(c) == QChar::Other_Format;
}

bool IsTrimmed(QChar c)
{
    return c == QLatin1Char('.') || c.isSpace();
}

QString Trimmed(QString name, bool front, bool back)
{
    while (front && !name.isEmpty() && IsTrimmed(name.front()))
        name.remove(0, 1);
    while (back && !name.isEmpty() && IsTrimmed(name.back()))
        name.chop(1);
    return name;
}

qsizetype Utf8Length(QStringView text)
{
    return text.toUtf8().size();
}

// The first code points of text that fit in `budget` bytes of UTF-8.
QString CutToBytes(const QString &text, qsizetype budget)
{
    qsizetype used = 0;
    qsizetype end = 0;
    while (end < text.size()) {
        const qsizetype step = text[end].isHighSurrogate() && end + 1 < text.size() ? 2 : 1;
        const qsizetype bytes = Utf8Length(QStringView(text).mid(end, step));
        if (used + bytes > budget)
            break;
        used += bytes;
        end += step;
    }
    return text.left(end);
}

// 8 hex digits in brackets at the end of text.
bool EndsWithChecksumGroup(QStringView text)
{
    if (text.size() < 10 || text.back() != QLatin1Char(']') || text[text.size() - 10] != QLatin1Char('['))
        return false;
    for (QChar c : text.mid(text.size() - 9, 8))
        if (!isxdigit(c.unicode()) || c.unicode() > 0x7f)
            return false;
    return true;
}

// Where a name's extension starts (its last dot), or its size when it has
// none. A dot in a title ("Vol. 2 [1A2B3C4D]", a long text) is no extension:
// an extension is short and holds no blank or bracket.
qsizetype ExtensionStart(const QString &name)
{
    constexpr qsizetype kMaxExtensionBytes = 32;
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot <= 0)
        return name.size();
    const QStringView extension = QStringView(name).mid(dot);
    if (Utf8Length(extension) > kMaxExtensionBytes)
        return name.size();
    for (QChar c : extension)
        if (c.isSpace() || c == QLatin1Char('[') || c == QLatin1Char(']'))
            return name.size();
    return dot;
}

// A name too long for the file system, shortened in its title.
QString Shortened(const QString &name)
{
    const QString extension = name.mid(ExtensionStart(name));
    QString stem = name.left(name.size() - extension.size());
    QString group;
    if (EndsWithChecksumGroup(stem)) {
        group = stem.right(10);
        stem.chop(10);
    }
    const QString tail = group + extension;
    stem = CutToBytes(stem, kMaxNameBytes - Utf8Length(tail));
    return Trimmed(tail.isEmpty() ? Trimmed(stem, false, true) : stem + tail, true, false);
}

} // namespace

QString DecodeNameBytes(const QByteArray &bytes)
{
    if (QByteArrayView(bytes).isValidUtf8())
        return QString::fromUtf8(bytes);
    QStringDecoder gb18030("GB18030");
    return gb18030.isValid() ? QString(gb18030.decode(bytes)) : QString::fromLatin1(bytes);
}

QString ContentDispositionName(const QByteArray &value)
{
    QString extended;
    QString plain;
    bool plainSeen = false;
    for (const Parameter &p : ParametersOf(value)) {
        if (p.name == "filename*" && extended.isEmpty())
            extended = ExtendedValue(p.value);
        else if (p.name == "filename" && !plainSeen) {
            plain = PlainValue(p.value);
            plainSeen = true;
        }
    }
    return LastPathPart(extended.isEmpty() ? plain : extended);
}

QString NameFromAddress(const QString &address)
{
    QString rest = address;
    const qsizetype scheme = rest.indexOf(QStringLiteral("://"));
    if (scheme >= 0)
        rest = rest.mid(scheme + 3);
    const qsizetype slash = rest.indexOf(QLatin1Char('/'));
    if (slash < 0)
        return QString();  // nothing but a host
    rest = rest.mid(slash);
    const qsizetype end = rest.indexOf(QRegularExpression(QStringLiteral("[?#]")));
    if (end >= 0)
        rest.truncate(end);
    const QString segment = rest.mid(rest.lastIndexOf(QLatin1Char('/')) + 1);
    return DecodeNameBytes(QByteArray::fromPercentEncoding(segment.toUtf8()));
}

QString SafeFileName(const QString &name)
{
    QString out;
    out.reserve(name.size());
    for (char32_t c : name.toUcs4()) {
        if (Unsafe(c))
            out += QLatin1Char('_');
        else
            out += QString::fromUcs4(&c, 1);
    }
    out = Trimmed(out, true, true);
    return Utf8Length(out) > kMaxNameBytes ? Shortened(out) : out;
}

QString ProposedFileName(const QByteArray &contentDisposition, const QString &address)
{
    const QString given = SafeFileName(ContentDispositionName(contentDisposition));
    return given.isEmpty() ? SafeFileName(NameFromAddress(address)) : given;
}

std::optional<quint32> ChecksumInName(const QString &name)
{
    const QStringView stem = QStringView(name).left(ExtensionStart(name));
    if (!EndsWithChecksumGroup(stem))
        return std::nullopt;
    return stem.mid(stem.size() - 9, 8).toUInt(nullptr, 16);
}

} // namespace velmora
