#pragma once
// SPDX-FileCopyrightText: 2026 Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// What the download window and its dialogs read of the download it shows.
// Everything else one download knows belongs to the engine's run.
#include <QString>
#include <QtGlobal>

namespace velmora {

struct DownloadState
{
    QString strSavePath;     // full path of the local file (Open, Folder)
    // The user's stop request. Set only by the Cancel of the engine and
    // cleared when a download starts; the engine's own stops are not flags.
    bool blnCancel = false;
    bool blnComplete = false;  // the last download ended with the whole file
    qint64 varElapsed = 0;     // whole seconds since the body transfer began
};

} // namespace velmora
