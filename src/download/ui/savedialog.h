// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The Save-As dialog of the download window.
#include "download/core/engine.h"

class QWidget;

namespace velmora {

class FileSaveDialog : public ISaveDialog
{
public:
    explicit FileSaveDialog(QWidget *parent = nullptr) : m_parent(parent) {}
    // Titled "另存为", one filter entry for the type, starting in
    // the folder last saved into for the catalogue shown now (SaveFolderFor)
    // with DefaultName filled in, and remembers the folder of the choice;
    // "" when cancelled.
    QString ShowSaveDialog(const QString &DefaultName, const QString &FileType) override;

private:
    QWidget *m_parent;
};

// Opens a file or folder with its associated program. False when there is
// nothing at the path (the shell's "file not found").
bool ShellOpen(const QString &path);

} // namespace velmora
