// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "download/ui/savedialog.h"

#include "download/core/savelocation.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QUrl>

namespace velmora {

QString FileSaveDialog::ShowSaveDialog(const QString &DefaultName, const QString &FileType)
{
    QFileDialog dialog(m_parent, QStringLiteral("另存为"));
    // Qt's own dialog: the same on every desktop, and it runs under offscreen.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    // An existing file is the engine's question ("文件已存在"), not the dialog's.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(SaveDialogFilter(FileType));
    const CatalogueKind kind = CatalogueKindNow();
    dialog.setDirectory(SaveDialogStartFolder(SaveFolderFor(kind)));
    dialog.selectFile(DefaultName);
    if (dialog.exec() != QDialog::Accepted)
        return QString();
    const QString chosen = dialog.selectedFiles().value(0);
    RememberSaveFolder(kind, chosen);
    return chosen;
}

bool ShellOpen(const QString &path)
{
    if (path.isEmpty() || !QFileInfo::exists(path))
        return false;
    QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
    return true;
}

} // namespace velmora
