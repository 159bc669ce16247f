// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The catalogue list: one entry a line, "URL::=Key::=Category".
#include <QString>
#include <QStringList>

namespace velmora {

struct ListEntry
{
    QString URL;       // page to scan
    QString Key;       // text a link's address must contain (any case)
    QString Category;  // caption of the group that receives the page's items
};

// Cuts text into lines. A line ends at CR LF or at a lone CR; a lone LF does
// not end a line and stays part of it. Empty lines are kept (as empty strings)
// so a reader can skip them itself; a final line without an ending counts.
QStringList SplitListLines(const QString &text);

// Cuts one line at its first two "::=" separators. The second separator is the
// first one that begins after the end of the first; everything after it, more
// separators included, is the Category. Fields are not trimmed. Returns false
// (a bad entry) when a separator is missing or any field is empty.
bool CutListLine(const QString &line, ListEntry &entry);

} // namespace velmora
