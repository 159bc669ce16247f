// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
#include "download/core/downloadstate.h"

#include <QString>
#include <QWidget>

#include <memory>

class QLabel;
class QLineEdit;
class QPushButton;

namespace velmora {

class DesktopNotice;
class DownloadEngine;
class FileSaveDialog;
class IProblemAnswerer;
class ISaveDialog;
class SeekBar;

// The download window. A fresh one is made for every download, so its
// controls and its state start as designed; after a complete download it
// stays open until the user closes it, opens the file or opens its folder.
// It is owned by the main window (a transient window of it: it stays above
// it and shares its taskbar entry); the main window disables itself before
// the download and the download window enables it again when it closes.
// Once closed, the window deletes itself as soon as DownloadFile has returned.
class frmDownload : public QWidget
{
    Q_OBJECT
public:
    explicit frmDownload(QWidget *mainWindow = nullptr);
    ~frmDownload() override;

    // Runs one download and returns when it has ended (true = whole file received).
    bool DownloadFile(const QString &StrURL, const QString &UserName, const QString &Password);

    // Who answers the problems and the Save-As question (default: the dialogs).
    void setProblemAnswerer(IProblemAnswerer *answerer);
    void setSaveDialog(ISaveDialog *dialog);
    // Where the desktop hears of the download (default: the session bus).
    void setDesktopNotice(DesktopNotice *notice);

    DownloadEngine *engine() const { return m_engine; }
    // This window's download: nothing of it reaches any other window.
    const DownloadState &state() const { return m_state; }

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    class View;
    void CancelButton_Click();
    void OpenButton_Click();
    void FolderButton_Click();
    void Unload();

    QWidget *m_mainWindow;
    DownloadState m_state;
    std::unique_ptr<View> m_view;
    std::unique_ptr<FileSaveDialog> m_fileDialog;
    std::unique_ptr<IProblemAnswerer> m_dialogAnswerer;
    IProblemAnswerer *m_answerer = nullptr;
    ISaveDialog *m_saveDialog = nullptr;
    DesktopNotice *m_notice = nullptr;
    DownloadEngine *m_engine = nullptr;
    bool m_unloaded = false;

    // Each control carries its name as its objectName too: tests find it
    // with findChild; the engine reaches the window only through its view.
    QLineEdit *SourceLabel;
    QLineEdit *ToLabel;
    QLabel *StatusLabel;
    SeekBar *picSeek;
    QLineEdit *CompleteLabel;
    QLabel *RateLabel;
    QLabel *EstimatedTimeLeft;
    QLabel *TimeLabel;
    QPushButton *OpenButton;
    QPushButton *FolderButton;
    QPushButton *CancelButton;
};

} // namespace velmora
