// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace velmora {

// "Velmora Music Search": asks for the words; its only output is strSearchWord.
// OK with words stores them as typed; Cancel empties strSearchWord; closing
// by the title bar (or Esc) leaves it as it was.
class frmSearch : public QDialog
{
    Q_OBJECT
public:
    explicit frmSearch(QWidget *parent = nullptr);

    QLabel *lblDescription = nullptr;
    QLabel *lblWord = nullptr;
    QLineEdit *txtWord = nullptr;
    QPushButton *cmdOK = nullptr;
    QPushButton *cmdCancel = nullptr;

protected:
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void Form_Load();
    void cmdOK_Click();
    void cmdCancel_Click();
};

} // namespace velmora
