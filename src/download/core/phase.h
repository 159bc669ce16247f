// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Where a download stands, as the engine tells its view; the view puts it
// into words on its status line.
#include <QString>

namespace velmora {

enum class Phase {
    Connecting,  // "连接": the probe
    Resuming,    // "续传": the length request of a resumed file
    AskingInfo,  // "获取文件信息": the length request of a fresh one
    Saving,      // "保存": the body, and the finished file
};

inline QString PhaseText(Phase phase)
{
    switch (phase) {
    case Phase::Connecting: return QStringLiteral("连接");
    case Phase::Resuming: return QStringLiteral("续传");
    case Phase::AskingInfo: return QStringLiteral("获取文件信息");
    case Phase::Saving: break;
    }
    return QStringLiteral("保存");
}

} // namespace velmora
