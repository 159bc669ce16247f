// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The one-page wizard layout both problem dialogs share.
#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace velmora {

class ProblemDialog : public QDialog
{
    Q_OBJECT
public:
    QComboBox *comOperation() const { return m_comOperation; }
    QLabel *lblAbend() const { return m_lblAbend; }
    QLabel *lblDes() const { return m_lblDes; }
    QLabel *lblDescription() const { return m_lblDescription; }
    QLineEdit *txtFile() const { return m_txtFile; }
    QPushButton *cmdNext() const { return m_cmdNext; }

protected:
    // Owned by `owner` (the download window during a download).
    ProblemDialog(const QString &objectName, const QString &introduction, QWidget *owner);

    // Shows the file-name part of a path or address in the file box.
    void setFile(const QString &strFile);
    // The problem title; its label takes the width of its text.
    void setProblem(const QString &strProblem);

    bool event(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    QLabel *m_picTop = nullptr;
    QLabel *m_imgAlert = nullptr;
    QLabel *m_lblDescription = nullptr;
    QLineEdit *m_txtFile = nullptr;
    QLabel *m_lblAbend = nullptr;
    QComboBox *m_comOperation = nullptr;
    QLabel *m_lblDes = nullptr;
    QPushButton *m_cmdNext = nullptr;
};

// Sounds the system beep and announces it (AlertDialogs::beeped).
void AlertBeep();

} // namespace velmora
