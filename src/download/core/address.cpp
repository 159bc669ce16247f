// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "download/core/address.h"

#include "download/core/format.h"

#include <QDir>
#include <QFileInfo>

#include <cmath>
#include <limits>

namespace velmora {

namespace {

// The local path separators of this platform: "/" here, both kinds on Windows.
bool IsLocalSeparator(QChar c)
{
#ifdef Q_OS_WIN
    return c == QLatin1Char('\\') || c == QLatin1Char('/');
#else
    return c == QDir::separator();
#endif
}

qsizetype LastLocalSeparator(const QString &s)
{
    for (qsizetype i = s.size() - 1; i >= 0; --i) {
        if (IsLocalSeparator(s.at(i)))
            return i;
    }
    return -1;
}

// Reads the leading decimal number of a text the way a typed number is read:
// leading blanks skipped, an optional sign, digits with an optional fraction
// and exponent; reading stops at the first character that cannot continue
// the number. Nothing readable gives 0.
double LeadingNumber(const QString &s)
{
    qsizetype i = 0;
    const qsizetype n = s.size();
    while (i < n && (s.at(i) == QLatin1Char(' ') || s.at(i) == QLatin1Char('\t')))
        ++i;
    QString text;
    if (i < n && (s.at(i) == QLatin1Char('+') || s.at(i) == QLatin1Char('-')))
        text += s.at(i++);
    bool digits = false;
    while (i < n && s.at(i).isDigit() && s.at(i).unicode() < 128) {
        text += s.at(i++);
        digits = true;
    }
    if (i < n && s.at(i) == QLatin1Char('.')) {
        text += s.at(i++);
        while (i < n && s.at(i).unicode() < 128 && s.at(i).isDigit()) {
            text += s.at(i++);
            digits = true;
        }
    }
    if (!digits)
        return 0;
    if (i < n && (s.at(i) == QLatin1Char('e') || s.at(i) == QLatin1Char('E'))) {
        qsizetype j = i + 1;
        QString exp = QStringLiteral("e");
        if (j < n && (s.at(j) == QLatin1Char('+') || s.at(j) == QLatin1Char('-')))
            exp += s.at(j++);
        bool expDigits = false;
        while (j < n && s.at(j).unicode() < 128 && s.at(j).isDigit()) {
            exp += s.at(j++);
            expDigits = true;
        }
        if (expDigits)
            text += exp;
    }
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    bool ok = false;
    const double v = text.toDouble(&ok);
    return ok ? v : 0;
}

} // namespace

void AnalyseAddress(AddressParts &state, const QString &analyseURL)
{
    if (analyseURL.isEmpty())
        return;
    state.strRequestURL = analyseURL;

    QString w = analyseURL;
    const qsizetype scheme = w.indexOf(QStringLiteral("://"));
    if (scheme >= 0)
        w = w.mid(scheme + 3);

    const qsizetype firstSlash = w.indexOf(QLatin1Char('/'));
    if (firstSlash < 0) {
        // An address without a path names the host alone: it must not keep
        // the host and file name of the previous download.
        state.strServer = w;
        state.strFileName.clear();
        return;
    }
    state.strServer = w.left(firstSlash);
    state.strFileName = w.mid(w.lastIndexOf(QLatin1Char('/')) + 1);
}

namespace {

// Where the port's colon stands: the last colon, unless it lies inside an
// IPv6 literal's brackets or in the user info before an "@"; -1 when none.
qsizetype PortColon(const QString &server)
{
    const qsizetype p = server.lastIndexOf(QLatin1Char(':'));
    if (p < 0 || p < server.lastIndexOf(QLatin1Char(']')) || p < server.lastIndexOf(QLatin1Char('@')))
        return -1;
    return p;
}

} // namespace

QString RemovePort(const QString &StrServerAdd)
{
    const qsizetype p = PortColon(StrServerAdd);
    return p >= 0 ? StrServerAdd.left(p) : StrServerAdd;
}

bool HasPort(const QString &strServer)
{
    return PortColon(strServer) >= 0;
}

QString RemoveUserInfo(const QString &strServer)
{
    return strServer.mid(strServer.lastIndexOf(QLatin1Char('@')) + 1);
}

bool IsHttpsAddress(const QString &address)
{
    return address.startsWith(QLatin1String("https://"), Qt::CaseInsensitive);
}

int GetPort(const QString &strServer)
{
    const qsizetype p = PortColon(strServer);
    if (p < 0)
        return 80;
    const double v = RoundHalfToEven(LeadingNumber(strServer.mid(p + 1)));
    // A number beyond the integer range cannot be a port; keep it out of
    // range so that the connection fails instead of wrapping around.
    if (!std::isfinite(v) || v > std::numeric_limits<int>::max())
        return std::numeric_limits<int>::max();
    if (v < std::numeric_limits<int>::min())
        return std::numeric_limits<int>::min();
    const int port = static_cast<int>(v);
    return port == 0 ? 80 : port;
}

QString SplitPath(const QString &strPath, bool blnName, bool blnSlash)
{
    const qsizetype p = blnSlash ? strPath.lastIndexOf(QLatin1Char('/')) : LastLocalSeparator(strPath);
    if (p < 0)
        return strPath;
    return blnName ? strPath.mid(p + 1) : strPath.left(p + 1);
}

QString GetExtension(const QString &strPath)
{
    const qsizetype p = strPath.lastIndexOf(QLatin1Char('.'));
    return p < 0 ? strPath : strPath.mid(p + 1);
}

QString FileNameOf(const QString &strPath)
{
    const qsizetype p = std::max(strPath.lastIndexOf(QLatin1Char('/')), strPath.lastIndexOf(QLatin1Char('\\')));
    return p < 0 ? strPath : strPath.mid(p + 1);
}

bool FileExists(const QString &strPath)
{
    if (strPath.isEmpty())
        return false;
    const QFileInfo info(strPath);
    return info.isFile();
}

qint64 FileLength(const QString &strPath)
{
    if (strPath.isEmpty())
        return 0;
    const QFileInfo info(strPath);
    return info.isFile() ? info.size() : 0;
}

QString AddBackslash(const QString &strPath)
{
    if (!strPath.isEmpty() && IsLocalSeparator(strPath.back()))
        return strPath;
    return strPath + QDir::separator();
}

} // namespace velmora
