// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Address and path procedures of the download engine. Positions and lengths are
// 64-bit; local paths use this platform's separator.
#include <QString>
#include <QtGlobal>

namespace velmora {

// The parts of an address a download is started with. AnalyseAddress
// writes them; an empty address leaves them as they were.
struct AddressParts
{
    QString strRequestURL;   // the address being fetched
    QString strFileName;     // last "/"-segment of the address
    QString strServer;       // host part, first with its port, then without
};

void AnalyseAddress(AddressParts &state, const QString &analyseURL);
// A port suffix is a colon and digits after the host; an IPv6 literal keeps
// its colons inside brackets ("[::1]:8080", "[::1]").
QString RemovePort(const QString &StrServerAdd);
int GetPort(const QString &strServer);
bool HasPort(const QString &strServer);
// The host part without "user:password@" in front of it.
QString RemoveUserInfo(const QString &strServer);
// The address's scheme is https (in any letter case).
bool IsHttpsAddress(const QString &address);
// blnSlash true: "/" (addresses); false: the local path separator.
QString SplitPath(const QString &strPath, bool blnName, bool blnSlash);
QString GetExtension(const QString &strPath);
QString FileNameOf(const QString &strPath);
bool FileExists(const QString &strPath);
qint64 FileLength(const QString &strPath);
// strPath ending in the local separator, adding one when missing.
QString AddBackslash(const QString &strPath);

} // namespace velmora
