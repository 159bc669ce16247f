// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "catalogue/core/pagescan.h"

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

// First `href="` (any case) at or after from; -1 when none.
qsizetype FindMarker(QByteArrayView page, qsizetype from)
{
    qsizetype p = from + 4;
    while ((p = page.indexOf("=\"", p)) >= 0) {
        if (SameAsciiCaseless(page.data() + p - 4, "href", 4))
            return p - 4;
        p += 1;
    }
    return -1;
}

// First `</a>` (any case) at or after from; -1 when none.
qsizetype FindLinkEnd(QByteArrayView page, qsizetype from)
{
    qsizetype p = from;
    while ((p = page.indexOf("</", p)) >= 0) {
        if (p + 4 <= page.size() && SameAsciiCaseless(page.data() + p + 2, "a>", 2))
            return p;
        p += 1;
    }
    return -1;
}

} // namespace

qsizetype ScanUtf8Page(QByteArrayView page, QStringView key, const LinkSink &sink)
{
    constexpr qsizetype markerLen = 6;
    qsizetype taken = 0;
    qsizetype pos = FindMarker(page, 0);
    while (pos >= 0) {
        const qsizetype valueStart = pos + markerLen;
        const qsizetype q = page.indexOf('"', valueStart);
        if (q < 0)
            break;
        const QString address = QString::fromUtf8(page.sliced(valueStart, q - valueStart));
        qsizetype next;
        if (address.contains(key, Qt::CaseInsensitive)) {
            const qsizetype gt = page.indexOf('>', valueStart);
            if (gt < 0)
                break;
            const qsizetype e = FindLinkEnd(page, gt + 1);
            if (e < 0)
                break;
            const QString text = CleanLinkText(RemoveFourSpaceRuns(QString::fromUtf8(page.sliced(gt + 1, e - gt - 1))));
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

} // namespace velmora
