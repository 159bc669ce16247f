// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Start-up of the program and the hand-overs between its top windows:
// splash -> chooser -> main window -> chooser -> ... -> end.
#include <QObject>
#include <QPointer>

class QWidget;

namespace velmora {

class frmSplash;
class frmType;

// Announces the shell's hand-overs; main() ends the event loop on endProgram.
class ShellEvents : public QObject
{
    Q_OBJECT
public:
    static ShellEvents *instance();

    // Set when the main window was opened directly (no chooser): closing it
    // then ends the program instead of returning to the chooser.
    bool directMode = false;

    // The chooser closed without a pick: the main window (if open) is
    // unloaded and endProgram is announced.
    void EndProgram();
    bool ending() const { return m_ending; }
    // A new run of the shell (a start, or a chooser opened afresh): ending is over.
    void beginRun() { m_ending = false; }

public slots:
    // Connected to the main window's returnToChooser(): a fresh chooser, shown
    // and enabled. Ignored while the program is ending.
    void reopenChooser();

signals:
    void chooserOpened(velmora::frmType *chooser);
    void mainWindowOpened(QWidget *mainWindow);
    void endProgram();

private:
    bool m_ending = false;
};

// Puts the window above all others (before it is shown, or re-shows it).
void SetTopMost(QWidget *window);

// The start-up object: creates and shows the splash, which opens the chooser.
frmSplash *StartUp();

// Opens the main window for one catalogue kind, shown and enabled, without
// splash and chooser; closing it ends the program.
QWidget *OpenMainDirect(bool animeMode);

// Creates the main window for the current blnAnimeMode, shown and enabled,
// wired to return to the chooser when it closes.
QWidget *OpenMainWindow();

// The main window while one is open (null otherwise).
QWidget *CurrentMainWindow();

} // namespace velmora
