// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "common/ui/msgbox.h"

#include "common/core/version.h"

namespace velmora {

MessageBoxes *MessageBoxes::instance()
{
    static MessageBoxes hub;
    return &hub;
}

QMessageBox::StandardButton ShowMessage(QWidget *parent, QMessageBox::Icon icon, const QString &text,
                                        QMessageBox::StandardButtons buttons,
                                        QMessageBox::StandardButton defaultButton, const QString &title)
{
    QMessageBox box(icon, title.isEmpty() ? kProductTitle : title, text, buttons, parent);
    if (defaultButton != QMessageBox::NoButton)
        box.setDefaultButton(defaultButton);
    emit MessageBoxes::instance()->aboutToShow(&box);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

} // namespace velmora
