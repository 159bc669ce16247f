// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "catalogue/core/pagescan.h"

#include <algorithm>
#include <cstring>

namespace velmora {

QString RemoveFourSpaceRuns(QString text)
{
    // Taken left to right without overlap, the groups of four eat a run of n
    // spaces down to n % 4. One pass, compacting in place: the cost follows
    // the length of the text, however many groups there are.
    QChar *const data = text.data();
    const qsizetype n = text.size();
    qsizetype out = 0;
    qsizetype run = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = data[i];
        if (c == QLatin1Char(' ')) {
            ++run;
            if (run == 4) {
                out -= 3;  // drop the three already copied along with this one
                run = 0;
                continue;
            }
        } else {
            run = 0;
        }
        data[out++] = c;
    }
    text.truncate(out);
    return text;
}

namespace {

// Where `pattern` (lower-case ASCII) next occurs in text at or after from,
// letters compared by case folding as Qt's case-insensitive search does;
// -1 when it does not.
char16_t Folded(QChar c)
{
    const char16_t u = c.unicode();
    if (u < 0x80)
        return u >= 'A' && u <= 'Z' ? char16_t(u + ('a' - 'A')) : u;
    return c.toCaseFolded().unicode();
}

qsizetype FindCaseless(QStringView text, QLatin1StringView pattern, qsizetype from)
{
    const qsizetype last = text.size() - pattern.size();
    // The patterns start with "<" or "&", which no other letter folds to.
    const char16_t first = pattern.front().unicode();
    for (qsizetype i = from; i <= last; ++i) {
        if (text[i].unicode() != first)
            continue;
        qsizetype k = 1;
        while (k < pattern.size() && Folded(text[i + k]) == pattern[k].unicode())
            ++k;
        if (k == pattern.size())
            return i;
    }
    return -1;
}

// QString::replace(pattern, replacement, Qt::CaseInsensitive) without its
// search set-up, which costs more than these short texts: the matches are
// taken left to right, without overlap, in the text as it was.
void ReplaceCaseless(QString &text, QLatin1StringView pattern, QStringView replacement)
{
    qsizetype at = FindCaseless(text, pattern, 0);
    if (at < 0)
        return;
    QString out;
    out.reserve(text.size());
    qsizetype from = 0;
    while (at >= 0) {
        out += QStringView(text).mid(from, at - from);
        out += replacement;
        from = at + pattern.size();
        at = FindCaseless(text, pattern, from);
    }
    out += QStringView(text).mid(from);
    text = out;
}

} // namespace

QString CleanLinkText(QString text)
{
    // Most texts hold neither a tag nor an entity: nothing to look for.
    if (text.contains(QLatin1Char('<'))) {
        ReplaceCaseless(text, QLatin1StringView("<font color=#e10900>"), {});
        ReplaceCaseless(text, QLatin1StringView("<font style=color:#e10900>"), {});
        ReplaceCaseless(text, QLatin1StringView("</font>"), {});
    }
    if (!text.contains(QLatin1Char('&')))
        return text;
    ReplaceCaseless(text, QLatin1StringView("&amp;"), u"&");
    ReplaceCaseless(text, QLatin1StringView("&lt;"), u"<");
    ReplaceCaseless(text, QLatin1StringView("&gt;"), u">");
    return text;
}

qsizetype ScanPage(QStringView page, QStringView key, const LinkSink &sink)
{
    static const QString marker = QStringLiteral("href=\"");
    static const QString linkEnd = QStringLiteral("</a>");
    const qsizetype markerLen = marker.size();

    // Case-insensitive searches on the page itself: no upper-cased copy, and
    // positions always refer to the original text.
    qsizetype taken = 0;
    qsizetype pos = page.indexOf(marker, 0, Qt::CaseInsensitive);
    while (pos >= 0) {
        const qsizetype valueStart = pos + markerLen;
        const qsizetype q = page.indexOf(QLatin1Char('"'), valueStart);
        if (q < 0)
            break;  // no closing quote: the page ends inside the attribute
        const QStringView address = page.sliced(valueStart, q - valueStart);
        qsizetype next;
        if (address.contains(key, Qt::CaseInsensitive)) {
            const qsizetype gt = page.indexOf(QLatin1Char('>'), valueStart);
            if (gt < 0)
                break;
            const qsizetype e = page.indexOf(linkEnd, gt + 1, Qt::CaseInsensitive);
            if (e < 0)
                break;
            const QString text = CleanLinkText(RemoveFourSpaceRuns(page.sliced(gt + 1, e - gt - 1).toString()));
            ++taken;
            if (!sink(address.toString(), text))
                break;
            next = e + 1;
        } else {
            next = q + 1;
        }
        pos = page.indexOf(marker, next, Qt::CaseInsensitive);
    }
    return taken;
}

namespace {

// ASCII letters compared without regard to case; the bytes of the markers
// are all ASCII, and no byte of a longer UTF-8 sequence is.
bool SameAsciiCaseless(const char *bytes, const char *lowerAscii, qsizetype n)
{
    for (qsizetype i = 0; i < n; ++i) {
        char c = bytes[i];
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
        if (c != lowerAscii[i])
            return false;
    }
    return true;
}

// Where byte c next occurs in page at or after from; -1 when it does not.
qsizetype FindByte(QByteArrayView page, char c, qsizetype from)
{
    if (from >= page.size())
        return -1;
    const void *hit = std::memchr(page.data() + from, c, size_t(page.size() - from));
    return hit ? static_cast<const char *>(hit) - page.data() : -1;
}

// First `href="` (any case) at or after from; -1 when none. Found by its
// quote: the one byte of it that a page holds least often.
qsizetype FindMarker(QByteArrayView page, qsizetype from)
{
    qsizetype q = from + 5;
    while ((q = FindByte(page, '"', q)) >= 0) {
        if (SameAsciiCaseless(page.data() + q - 5, "href=", 5))
            return q - 5;
        q += 1;
    }
    return -1;
}

// First `</a>` (any case) at or after from; -1 when none.
qsizetype FindLinkEnd(QByteArrayView page, qsizetype from)
{
    qsizetype p = from;
    while ((p = FindByte(page, '<', p)) >= 0) {
        if (p + 4 <= page.size() && SameAsciiCaseless(page.data() + p + 1, "/a>", 3))
            return p;
        p += 1;
    }
    return -1;
}

// The two letters beyond ASCII that fold to ASCII ones, in UTF-8: the long
// s (U+017F, to "s") and the Kelvin sign (U+212A, to "k"). Where neither
// occurs, a caseless match of ASCII text is made of ASCII bytes alone, and
// the bytes can be compared as they are.
bool MayFoldToAscii(QByteArrayView bytes)
{
    const qsizetype n = bytes.size();
    const char *b = bytes.data();
    for (qsizetype i = 0; i + 1 < n; ++i) {
        const bool longS = b[i] == '\xC5' && b[i + 1] == '\xBF';
        const bool kelvin = b[i] == '\xE2' && i + 2 < n && b[i + 1] == '\x84' && b[i + 2] == '\xAA';
        if (longS || kelvin)
            return true;
    }
    return false;
}

// needle (lower-case ASCII) occurs in bytes, ASCII letters compared without regard to case.
bool ContainsAsciiCaseless(QByteArrayView bytes, QByteArrayView needle)
{
    for (qsizetype i = 0; i + needle.size() <= bytes.size(); ++i) {
        if (SameAsciiCaseless(bytes.data() + i, needle.data(), needle.size()))
            return true;
    }
    return false;
}

// Whether an address contains the key, as QString's caseless search on the
// decoded address says: an ASCII key is looked for in the bytes themselves.
class KeyTest
{
public:
    explicit KeyTest(QStringView key) : m_key(key)
    {
        m_ascii = std::all_of(key.begin(), key.end(), [](QChar c) { return c.unicode() < 0x80; });
        if (m_ascii)
            m_lowerAscii = key.toLatin1().toLower();
    }

    bool foundIn(QByteArrayView address) const
    {
        if (m_ascii && !MayFoldToAscii(address))
            return ContainsAsciiCaseless(address, m_lowerAscii);
        return QString::fromUtf8(address).contains(m_key, Qt::CaseInsensitive);
    }

private:
    QStringView m_key;
    bool m_ascii = false;
    QByteArray m_lowerAscii;
};

// RemoveFourSpaceRuns on bytes: raw into out, without its runs of four spaces.
void CopyWithoutFourSpaceRuns(QByteArrayView raw, QByteArray &out)
{
    out.resize(raw.size());
    char *const data = out.data();
    qsizetype used = 0;
    qsizetype run = 0;
    for (const char c : raw) {
        if (c == ' ' && ++run == 4) {
            used -= 3;
            run = 0;
            continue;
        }
        if (c != ' ')
            run = 0;
        data[used++] = c;
    }
    out.truncate(used);
}

// Where pattern (lower-case ASCII, its first byte not a letter) next occurs
// in text at or after from, ASCII letters compared without regard to case.
qsizetype FindAsciiCaseless(QByteArrayView text, QByteArrayView pattern, qsizetype from)
{
    const qsizetype last = text.size() - pattern.size();
    for (qsizetype i = from; i <= last; ++i) {
        const void *hit = std::memchr(text.data() + i, pattern.front(), size_t(last - i + 1));
        if (!hit)
            return -1;
        i = static_cast<const char *>(hit) - text.data();
        if (SameAsciiCaseless(text.data() + i + 1, pattern.data() + 1, pattern.size() - 1))
            return i;
    }
    return -1;
}

// ReplaceCaseless on bytes, in place: no replacement is longer than its
// pattern, so the result is written over the part already searched, and
// what is still to be searched is the text as it was.
void ReplaceAsciiCaseless(QByteArray &text, QByteArrayView pattern, QByteArrayView replacement)
{
    qsizetype at = FindAsciiCaseless(text, pattern, 0);
    if (at < 0)
        return;
    char *const data = text.data();
    qsizetype used = at;
    qsizetype from = at;
    while (at >= 0) {
        std::memmove(data + used, data + from, size_t(at - from));
        used += at - from;
        if (!replacement.isEmpty())
            std::memcpy(data + used, replacement.data(), size_t(replacement.size()));
        used += replacement.size();
        from = at + pattern.size();
        at = FindAsciiCaseless(text, pattern, from);
    }
    const qsizetype rest = text.size() - from;
    std::memmove(data + used, data + from, size_t(rest));
    text.truncate(used + rest);
}

// CleanLinkText on a text in UTF-8, in place.
void CleanUtf8LinkText(QByteArray &text)
{
    const bool tags = text.contains('<');
    if (!tags && !text.contains('&'))
        return;
    if (MayFoldToAscii(text)) {
        text = CleanLinkText(QString::fromUtf8(text)).toUtf8();
        return;
    }
    if (tags) {
        ReplaceAsciiCaseless(text, "<font color=#e10900>", {});
        ReplaceAsciiCaseless(text, "<font style=color:#e10900>", {});
        ReplaceAsciiCaseless(text, "</font>", {});
    }
    ReplaceAsciiCaseless(text, "&amp;", "&");
    ReplaceAsciiCaseless(text, "&lt;", "<");
    ReplaceAsciiCaseless(text, "&gt;", ">");
}

} // namespace

qsizetype ScanUtf8Bytes(QByteArrayView page, QStringView key, const Utf8LinkSink &sink)
{
    constexpr qsizetype markerLen = 6;
    const KeyTest keyTest(key);
    QByteArray text;  // the text of the link at hand; its room serves the next one
    qsizetype taken = 0;
    qsizetype pos = FindMarker(page, 0);
    while (pos >= 0) {
        const qsizetype valueStart = pos + markerLen;
        const qsizetype q = page.indexOf('"', valueStart);
        if (q < 0)
            break;
        const QByteArrayView address = page.sliced(valueStart, q - valueStart);
        qsizetype next;
        if (keyTest.foundIn(address)) {
            const qsizetype gt = page.indexOf('>', valueStart);
            if (gt < 0)
                break;
            const qsizetype e = FindLinkEnd(page, gt + 1);
            if (e < 0)
                break;
            CopyWithoutFourSpaceRuns(page.sliced(gt + 1, e - gt - 1), text);
            CleanUtf8LinkText(text);
            ++taken;
            if (!sink(address, text))
                break;
            next = e + 1;
        } else {
            next = q + 1;
        }
        pos = FindMarker(page, next);
    }
    return taken;
}

qsizetype ScanUtf8Page(QByteArrayView page, QStringView key, const LinkSink &sink)
{
    return ScanUtf8Bytes(page, key, [&sink](QByteArrayView address, QByteArrayView text) {
        return sink(QString::fromUtf8(address), QString::fromUtf8(text));
    });
}

} // namespace velmora
