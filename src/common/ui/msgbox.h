// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Message boxes of the program: always titled with the product title.
// Every box is announced through MessageBoxes::instance()->aboutToShow before it
// blocks, so a caller that drives the program (a test, a script) can answer it.
#include <QMessageBox>
#include <QObject>

namespace velmora {

class MessageBoxes : public QObject
{
    Q_OBJECT
public:
    static MessageBoxes *instance();
signals:
    // Emitted with the box already built and about to run its modal loop.
    void aboutToShow(QMessageBox *box);
};

// Shows a modal box titled "Velmora 1.13" and returns the button pressed.
QMessageBox::StandardButton ShowMessage(QWidget *parent, QMessageBox::Icon icon, const QString &text,
                                        QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                                        QMessageBox::StandardButton defaultButton = QMessageBox::NoButton,
                                        const QString &title = QString());

} // namespace velmora
