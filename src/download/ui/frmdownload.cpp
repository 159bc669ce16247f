// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "download/ui/frmdownload.h"

#include "download/ui/alerts.h"
#include "common/core/settings.h"
#include "common/core/version.h"
#include "common/ui/accessible.h"
#include "common/ui/uifont.h"
#include "download/core/address.h"
#include "download/core/engine.h"
#include "download/core/problems.h"
#include "download/core/progress.h"
#include "download/ui/desktopnotice.h"
#include "download/ui/savedialog.h"
#include "download/ui/seekbar.h"
#include "download/ui/showinfolder.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include <optional>

namespace velmora {

// The window as the engine sees it: texts and states only. The figures of
// the body (time, rate, percentage, bar) come as numbers with every chunk;
// the latest ones are kept and turned into texts at the display's pace, so
// that a fast download is not slowed by its own window.
class frmDownload::View : public DownloadView
{
public:
    explicit View(frmDownload *window) : w(window)
    {
        m_pace.setSingleShot(true);
        m_pace.setInterval(kPaceMs);
        QObject::connect(&m_pace, &QTimer::timeout, window, [this] { ShowFigures(); });
    }
    void ShowWindow() override
    {
        w->show();
        w->activateWindow();
    }
    void CloseWindow() override { w->Unload(); }
    void SetSourceLabel(const QString &t) override { w->SourceLabel->setText(t); }
    void SetToLabel(const QString &t) override
    {
        w->ToLabel->setText(t);
        // A long path shows only its end in the box: the whole one is in the tip.
        w->ToLabel->setToolTip(t);
    }
    void SetStatusLabel(const QString &t) override { w->StatusLabel->setText(t); }
    // A text set outright comes after any figures still waiting, which must
    // not overwrite it later.
    void SetRateLabel(const QString &t) override
    {
        ShowFigures();
        w->RateLabel->setText(t);
    }
    void SetTimeLabel(const QString &t) override
    {
        ShowFigures();
        w->TimeLabel->setText(t);
    }
    void SetEstimatedTimeLeft(const QString &t) override { w->EstimatedTimeLeft->setText(t); }
    void SetCancelCaption(const QString &t) override { w->CancelButton->setText(t); }
    void SetOpenFolderEnabled(bool on) override
    {
        w->OpenButton->setEnabled(on);
        w->FolderButton->setEnabled(on);
    }
    void SetFigures(const BodyFigures &figures) override
    {
        m_figures = figures;
        if (!m_pace.isActive())
            m_pace.start();
    }
    void Beep() override { QApplication::beep(); }

    // Puts the latest figures on the screen now.
    void ShowFigures()
    {
        m_pace.stop();
        if (!m_figures)
            return;
        const ProgressFigures f = ComputeProgress(*m_figures);
        m_figures.reset();
        SetIfChanged(w->TimeLabel, f.timeLabel);
        SetIfChanged(w->RateLabel, f.rateLabel);
        SetIfChanged(w->CompleteLabel, f.completeLabel);
        w->m_notice->showProgress(f.sngProgress);
        if (f.knobX != w->picSeek->seekLength())
            w->picSeek->DrawSeek(f.knobX);
    }

private:
    // About two frames of a common display.
    static constexpr int kPaceMs = 30;

    template<typename Box>
    static void SetIfChanged(Box *box, const QString &text)
    {
        if (box->text() != text)
            box->setText(text);
    }

    frmDownload *w;
    QTimer m_pace;
    std::optional<BodyFigures> m_figures;  // not yet on the screen
};

namespace {

QLabel *addLabel(QWidget *parent, const QString &text, int x, int y, int width, bool bold = false)
{
    auto *label = new QLabel(text, parent);
    QFont f = UiFont(9);
    f.setBold(bold);
    label->setFont(f);
    label->setGeometry(x, y, width, 18);
    return label;
}

// A text box that only shows: no frame, the window's background.
QLineEdit *addTextBox(QWidget *parent, const QString &text, int x, int y, int width)
{
    auto *box = new QLineEdit(text, parent);
    box->setReadOnly(true);
    box->setFrame(false);
    box->setFocusPolicy(Qt::NoFocus);
    box->setFont(UiFont(9));
    box->setStyleSheet(QStringLiteral("QLineEdit { background: transparent; }"));
    box->setGeometry(x, y, width, 18);
    return box;
}

QPushButton *addButton(QWidget *parent, const QString &text, int x, int y)
{
    auto *button = new QPushButton(text, parent);
    button->setFont(UiFont(9));
    button->setGeometry(x, y, 89, 25);
    // Enter presses the focused button, as Space does (this window is no QDialog).
    button->setAutoDefault(true);
    return button;
}

// The problem dialogs of the program, owned by the download window.
std::unique_ptr<IProblemAnswerer> CreateDialogAnswerer(QWidget *window)
{
    return std::make_unique<DialogProblemAnswerer>(window);
}

} // namespace

frmDownload::frmDownload(QWidget *mainWindow)
    // A window of fixed size: its title bar offers closing and minimising, never maximising.
    : QWidget(mainWindow, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                              | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      m_mainWindow(mainWindow),
      m_view(std::make_unique<View>(this))
{
    DescribeWindow(this, QAccessible::Dialog, QStringLiteral("文件下载: 显示下载的进度, 完成后可打开文件或文件夹"));
    // The main window is disabled during the download; its own window stays usable.
    setEnabled(true);
    // Window load.
    setWindowTitle(kProductTitle);
    setFixedSize(440, 340);
    setFont(UiFont(9));

    addLabel(this, QStringLiteral("项目:"), 12, 12, 60);
    SourceLabel = addTextBox(this, QString(), 76, 12, 352);
    SourceLabel->setObjectName(QStringLiteral("SourceLabel"));
    SourceLabel->setAccessibleName(QStringLiteral("项目"));
    addLabel(this, QStringLiteral("下载到:"), 12, 34, 60);
    ToLabel = addTextBox(this, QString(), 76, 34, 352);
    ToLabel->setObjectName(QStringLiteral("ToLabel"));
    ToLabel->setAccessibleName(QStringLiteral("下载到"));
    addLabel(this, QStringLiteral("详细信息"), 12, 60, 120, true);
    addLabel(this, QStringLiteral("状态"), 24, 82, 80);
    StatusLabel = addLabel(this, QString(), 110, 82, 318);
    StatusLabel->setObjectName(QStringLiteral("StatusLabel"));

    picSeek = new SeekBar(this);
    picSeek->setObjectName(QStringLiteral("picSeek"));
    picSeek->setGeometry(8, 104, kSeekWidth, kSeekHeight);
    picSeek->DrawSeek(0);

    CompleteLabel = addTextBox(this, QStringLiteral("文件下载"), 12, 220, 416);
    CompleteLabel->setObjectName(QStringLiteral("CompleteLabel"));
    CompleteLabel->setAccessibleName(QStringLiteral("完成情况"));
    addLabel(this, QStringLiteral("传输速度:"), 24, 244, 100);
    RateLabel = addLabel(this, QString(), 130, 244, 298);
    RateLabel->setObjectName(QStringLiteral("RateLabel"));
    EstimatedTimeLeft = addLabel(this, QStringLiteral("估计剩余时间:"), 24, 266, 100);
    EstimatedTimeLeft->setObjectName(QStringLiteral("EstimatedTimeLeft"));
    TimeLabel = addLabel(this, QString(), 130, 266, 298);
    TimeLabel->setObjectName(QStringLiteral("TimeLabel"));

    OpenButton = addButton(this, QStringLiteral("打开(&O)"), 148, 302);
    OpenButton->setObjectName(QStringLiteral("OpenButton"));
    FolderButton = addButton(this, QStringLiteral("打开文件夹(&F)"), 243, 302);
    FolderButton->setObjectName(QStringLiteral("FolderButton"));
    CancelButton = addButton(this, QStringLiteral("取消"), 338, 302);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    OpenButton->setEnabled(false);
    FolderButton->setEnabled(false);
    // The window opens with the keyboard on its one live button.
    CancelButton->setFocus(Qt::OtherFocusReason);
    connect(CancelButton, &QPushButton::clicked, this, &frmDownload::CancelButton_Click);
    connect(OpenButton, &QPushButton::clicked, this, &frmDownload::OpenButton_Click);
    connect(FolderButton, &QPushButton::clicked, this, &frmDownload::FolderButton_Click);

    m_fileDialog = std::make_unique<FileSaveDialog>(this);
    m_dialogAnswerer = CreateDialogAnswerer(this);
    m_answerer = m_dialogAnswerer.get();
    m_saveDialog = m_fileDialog.get();
    m_notice = DesktopBusNotice::onSessionBus();
    m_engine = new DownloadEngine(m_state, m_view.get(), m_saveDialog, m_answerer, this);
    // The user's limits on what one download may take of a server.
    const DownloadLimits stored = StoredDownloadLimits();
    net::NetSettings limits;
    limits.connections = stored.connections;
    limits.maxBytesPerSecond = stored.bytesPerSecond;
    m_engine->setNetSettings(limits);
}

frmDownload::~frmDownload() = default;

void frmDownload::setProblemAnswerer(IProblemAnswerer *answerer)
{
    m_answerer = answerer ? answerer : m_dialogAnswerer.get();
    m_engine->setProblemAnswerer(m_answerer);
}

void frmDownload::setSaveDialog(ISaveDialog *dialog)
{
    m_saveDialog = dialog ? dialog : m_fileDialog.get();
    m_engine->setSaveDialog(m_saveDialog);
}

void frmDownload::setDesktopNotice(DesktopNotice *notice)
{
    m_notice = notice ? notice : DesktopBusNotice::onSessionBus();
}

bool frmDownload::DownloadFile(const QString &StrURL, const QString &UserName, const QString &Password)
{
    m_unloaded = false;
    QPointer<frmDownload> self(this);
    DesktopNotice *notice = m_notice;
    const bool ok = m_engine->DownloadFile(StrURL, UserName, Password);
    if (!self) {
        notice->clearProgress();
        return ok;
    }
    // The last figures of the body and the finish are on the screen when it
    // returns; the launcher entry shows no progress any more.
    m_view->ShowFigures();
    notice->clearProgress();
    // Someone looking at another window learns from the desktop that the file is there.
    if (ok && !isActiveWindow())
        m_notice->tellFinished(m_state.strSavePath);
    // The finish shows only in the labels: a screen reader says it aloud.
    if (ok && isVisible())
        Announce(this, QStringLiteral("%1 %2, %3")
                           .arg(EstimatedTimeLeft->text(), FileNameOf(m_state.strSavePath), TimeLabel->text()));
    // A window unloaded while the engine ran is deleted now that it has returned.
    if (m_unloaded)
        deleteLater();
    return ok;
}

void frmDownload::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        CancelButton->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

void frmDownload::CancelButton_Click()
{
    if (m_state.blnComplete && !m_engine->isRunning()) {
        close();
        return;
    }
    StatusLabel->setText(QStringLiteral("取消"));
    m_engine->Cancel();
}

void frmDownload::OpenButton_Click()
{
    const QString path = m_state.strSavePath;
    if (!ShellOpen(path))
        m_answerer->ShowAlert(Problem::CannotOpenFile, path, false);
    close();
}

void frmDownload::FolderButton_Click()
{
    ShowInFolder(m_state.strSavePath);  // nothing is reported when neither way works
    close();
}

void frmDownload::closeEvent(QCloseEvent *event)
{
    if (m_engine->isRunning()) {
        // The close box during a download is a Cancel: the engine finishes
        // its step, reports, and unloads the window itself.
        event->ignore();
        CancelButton_Click();
        return;
    }
    event->accept();
    Unload();
}

void frmDownload::Unload()
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    hide();
    if (m_mainWindow) {
        m_mainWindow->setEnabled(true);
        // The keyboard goes back where it was, not to whatever the window
        // manager picks once this window is gone.
        m_mainWindow->activateWindow();
    }
    // Deleted from the event loop, never under a running wait of the engine.
    if (!m_engine->isRunning())
        deleteLater();
}

} // namespace velmora
