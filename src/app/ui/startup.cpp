// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/ui/startup.h"

#include "app/ui/art.h"
#include "app/ui/frmsplash.h"
#include "app/ui/frmtype.h"
#include "catalogue/ui/frmmain.h"
#include "common/core/globals.h"

#include <QApplication>
#include <QWidget>

namespace velmora {

namespace {

QPointer<QWidget> s_mainWindow;

QWidget *CreateMainWindow()
{
    // The main window deletes itself once closed and its handlers are done.
    return new frmMain();
}

} // namespace

ShellEvents *ShellEvents::instance()
{
    static ShellEvents hub;
    return &hub;
}

void ShellEvents::reopenChooser()
{
    if (m_ending)
        return;
    if (directMode) {
        emit endProgram();
        return;
    }
    // The chooser's load step marks the program as waiting for a pick again.
    auto *chooser = new frmType();
    chooser->show();
    chooser->setEnabled(true);
}

void ShellEvents::EndProgram()
{
    m_ending = true;
    // With blnExitOnChooserClose set the main window closes without asking.
    if (QWidget *main = s_mainWindow; main && main->isVisible() && !main->close())
        main->hide();
    emit endProgram();
}

void SetTopMost(QWidget *window)
{
    const bool shown = window->isVisible();
    window->setWindowFlag(Qt::WindowStaysOnTopHint, true);
    if (shown)
        window->show();
}

frmSplash *StartUp()
{
    ShellEvents::instance()->directMode = false;
    ShellEvents::instance()->beginRun();
    return new frmSplash();
}

QWidget *OpenMainWindow()
{
    QWidget *main = CreateMainWindow();
    s_mainWindow = main;
    // Closing the main window brings a fresh chooser (or, opened directly, ends the program).
    QObject::connect(static_cast<frmMain *>(main), &frmMain::returnToChooser, ShellEvents::instance(),
                     &ShellEvents::reopenChooser);
    main->show();
    main->setEnabled(true);
    emit ShellEvents::instance()->mainWindowOpened(main);
    return main;
}

QWidget *OpenMainDirect(bool animeMode)
{
    ShellEvents::instance()->directMode = true;
    ShellEvents::instance()->beginRun();
    qApp->setWindowIcon(art::AppIcon());
    CatalogueChosen(animeMode);
    return OpenMainWindow();
}

QWidget *CurrentMainWindow() { return s_mainWindow; }

} // namespace velmora
