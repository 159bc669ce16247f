#pragma once
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>

class QLabel;
class QLineEdit;
class QPushButton;

namespace velmora {

class DownloadEngine;
class FileSaveDialog;
class IProblemAnswerer;
class ISaveDialog;
class SeekBar;
struct DownloadState;

// Runs one download in the download window and returns when it has ended
// (true = whole file received). The caller has disabled mainWindow; the
// download window enables it again when it closes.
bool StartDownload(QWidget *mainWindow, const QString &StrURL, QString &UserName, QString &Password);

// The download window. A fresh one is made for every download, so its
// controls start as designed; after a complete download it stays open until
// the user closes it, opens the file or opens its folder.
class frmDownload : public QWidget
{
    Q_OBJECT
public:
    explicit frmDownload(QWidget *mainWindow = nullptr);
    ~frmDownload() override;

    bool DownloadFile(const QString &StrURL, QString &UserName, QString &Password);

    // Who answers the problems and the Save-As question (default: the dialogs).
    void setProblemAnswerer(IProblemAnswerer *answerer);
    void setSaveDialog(ISaveDialog *dialog);

    DownloadEngine *engine() const { return m_engine; }
    // Window-level state; it keeps its values from one window to the next.
    static DownloadState &State();

    // Called with every window StartDownload makes, before it runs (tests,
    // scripted use).
    static std::function<void(frmDownload *)> onCreated;

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
    std::unique_ptr<View> m_view;
    std::unique_ptr<FileSaveDialog> m_fileDialog;
    std::unique_ptr<IProblemAnswerer> m_dialogAnswerer;
    IProblemAnswerer *m_answerer = nullptr;
    ISaveDialog *m_saveDialog = nullptr;
    DownloadEngine *m_engine = nullptr;
    bool m_unloaded = false;
};

} // namespace velmora
