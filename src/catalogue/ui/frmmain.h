// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// frmMain: the working window. Loads the chosen catalogue into the tree,
// searches the Internet for music, hands the selected item to the download
// window or the desktop, and opens the About window.
#include "catalogue/core/catalogueload.h"
#include "catalogue/ui/treeadapter.h"
#include "common/ui/sharp.h"

#include <QPixmap>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <memory>

class QContextMenuEvent;
class QLabel;
class QPushButton;
class QStatusBar;
class QTreeWidget;
class QTreeWidgetItem;

namespace velmora {

class Inet;
class WebBrowser;
class clsToolTip;
class frmDownload;

class frmMain : public QWidget
{
    Q_OBJECT
public:
    explicit frmMain(QWidget *parent = nullptr);
    ~frmMain() override;

    // Controls and state, read by whoever drives the window (tests included).
    QTreeWidget *tvSingle() const { return m_tvSingle; }
    QPushButton *cmdLoad() const { return m_cmdLoad; }
    QPushButton *cmdDownload() const { return m_cmdDownload; }
    QPushButton *cmdSearch() const { return m_cmdSearch; }
    QPushButton *cmdAbout() const { return m_cmdAbout; }
    QStatusBar *StatusBar1() const { return m_statusBar; }
    QString statusText() const;
    QTimer *timTimer() { return &m_timTimer; }
    Inet *Inet1() const { return m_inet; }
    WebBrowser *brwWebBrowser() const { return m_browser; }
    const CatalogueState &state() const { return m_state; }
    const TreeWidgetAdapter &tree() const { return m_tree; }
    const clsToolTip *tipLoad() const { return m_tipLoad.get(); }
    const clsToolTip *tipDownload() const { return m_tipDownload.get(); }
    const clsToolTip *tipAbout() const { return m_tipAbout.get(); }
    const clsToolTip *tipSearch() const { return m_tipSearch.get(); }
    const clsToolTip *tipTree() const { return m_tipTree.get(); }
    // The download window while one is open (null otherwise).
    frmDownload *downloadWindow() const;

public slots:
    void cmdLoad_Click();
    // The server settings dialog (Ctrl+, or the status bar's context menu).
    void cmdSettings_Click();
    void cmdDownload_Click();
    void cmdSearch_Click();
    void cmdAbout_Click();

signals:
    // The window has closed: the chooser is to be shown and enabled again.
    void returnToChooser();
    // Every text put on the status line, as it is put there.
    void statusTextChanged(const QString &text);
    // A download window was made for the selected item; its download starts
    // as soon as the connected slots return.
    void downloadWindowOpened(velmora::frmDownload *window);

protected:
    bool event(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    class Busy;

    void Form_Load();
    void InitNode();
    void LoadTrackList(const QString &URL, const QString &Key, const QString &Category);
    void InitToolTip();
    void RunSearch(const QString &words);
    void timTimer_Timer();
    void tvSingle_NodeClick(QTreeWidgetItem *node);
    void tvSingle_CurrentChanged(QTreeWidgetItem *current);
    void tvSingle_KeyDown(int key, Qt::KeyboardModifiers modifiers);
    void tvSingle_DoubleClick(QTreeWidgetItem *node);
    void tvSingle_Activate(QTreeWidgetItem *node);
    void tvSingle_ContextMenu(QContextMenuEvent *event);
    void DownloadLater(qsizetype index);
    void setStatus(const QString &text);
    void setPointerBusy(bool busy);
    void SetListURL();
    void InitSettingsAction();
    void HandOnActivation();

    QTreeWidget *m_tvSingle;
    QPushButton *m_cmdLoad;
    QPushButton *m_cmdDownload;
    QPushButton *m_cmdSearch;
    QPushButton *m_cmdAbout;
    QStatusBar *m_statusBar;
    QLabel *m_panel1;
    Inet *m_inet;
    WebBrowser *m_browser;
    QTimer m_timTimer;
    SharpPixmap m_picRes;       // the anime background
    SharpPixmap m_background;   // the window's own (music) background
    bool m_showsPicRes = false; // the anime background is the one in use

    TreeWidgetAdapter m_tree;
    CatalogueState m_state;
    CatalogueLoader m_loader;

    QPointer<frmDownload> m_download;

    std::unique_ptr<clsToolTip> m_tipLoad, m_tipDownload, m_tipAbout, m_tipSearch, m_tipTree;

    // The last click in the tree: its node, and whether that node was open before.
    struct LastClick
    {
        qsizetype index = 0;
        bool wasExpanded = false;
    };
    LastClick m_lastClick;

    bool m_listUnanswered = false;  // the last load got no usable list from the server

    int m_handlers = 0;     // handlers running (they may be inside a nested loop)
    bool m_closed = false;  // closed: delete once no handler runs any more
};

} // namespace velmora
