// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
#include <QDialog>

#include "about/core/sysinforows.h"

class QLabel;
class QPushButton;
class QTabWidget;
class QTreeWidget;

namespace velmora {

class System;

// The tabbed About window, opened modally by the main window's About button.
// Every opening fills the system-information list afresh.
class frmAbout : public QDialog
{
    Q_OBJECT
public:
    explicit frmAbout(QWidget *parent = nullptr);
    // The same window asking the given System (tests feed fixed figures).
    explicit frmAbout(System &system, QWidget *parent = nullptr);

    // The hidden credits box: left button released with Shift, Ctrl and Alt held.
    void Picture1_MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void BuildControls();
    void Form_Load();
    void InitSysinfo();

    System *objSystem;
    SysinfoFields m_fields;
    bool m_reloadOnShow = false;

    QTabWidget *SSTab1 = nullptr;
    QPushButton *cmdClose = nullptr;
    QLabel *Picture1 = nullptr;
    QLabel *Label6 = nullptr;
    QLabel *Label8 = nullptr;
    QTreeWidget *lstSysinfo = nullptr;
};

} // namespace velmora
