// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Qt's own texts in Chinese: the standard buttons of message boxes, the file
// dialog, the context menus of text boxes.
class QCoreApplication;

namespace velmora {

// Loads Qt's Chinese translations into the application, whatever the
// system's language: every text of the program itself is Chinese, so Qt's
// texts must be too. False when the translations are not installed (the
// program still runs, with Qt's English texts).
bool InstallQtChinese(QCoreApplication *app);

} // namespace velmora
