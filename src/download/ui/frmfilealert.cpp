// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "download/ui/frmfilealert.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

namespace velmora {

namespace {
const QString kIgnoreCancels = QStringLiteral("选择 \"忽略此问题\" 不会解决文件中任何的问题. Velmora 将取消当前下载任务.");
}

frmFileAlert::frmFileAlert(const QString &strFile, bool blnReset, QWidget *owner)
    : ProblemDialog(QStringLiteral("frmFileAlert"),
                    QStringLiteral("Velmora 在下载文件过程中出现了问题. 为防止问题扩散, 已将程序暂时中止运行. "
                                   "此向导将帮您解决问题, 这样您就可以继续进行正常的操作."),
                    owner)
    , m_reset(blnReset)
{
    setFile(strFile);
    AlertBeep();
    setProblem(m_reset ? QStringLiteral("服务器连接重置") : QStringLiteral("文件已存在"));

    comOperation()->addItem(QStringLiteral("续传已存在的文件. (建议采用)"));
    if (!m_reset)
        comOperation()->addItem(QStringLiteral("重新下载已存在的文件."));
    comOperation()->addItem(QStringLiteral("忽略此问题."));

    // The selection records the answer, so closing the window any way
    // returns the choice selected at that moment.
    connect(comOperation(), &QComboBox::currentIndexChanged, this, &frmFileAlert::operationSelected);
    comOperation()->setCurrentIndex(0);
    operationSelected(0);

    connect(cmdNext(), &QPushButton::clicked, this, &QDialog::accept);
}

void frmFileAlert::keyPressEvent(QKeyEvent *event)
{
    // Escape says no: the download is given up (nothing is resumed or
    // deleted), whatever choice is highlighted. The close box still answers
    // with the selection.
    if (event->matches(QKeySequence::Cancel)) {
        m_answer = m_reset ? FileAlertAnswer::IgnoreAfterReset : FileAlertAnswer::Ignore;
        reject();
        return;
    }
    ProblemDialog::keyPressEvent(event);
}

void frmFileAlert::operationSelected(int position)
{
    switch (position) {
    case 0:
        lblDes()->setText(QStringLiteral("选择 \"续传已存在的文件\" 可解决文件中的问题. Velmora 将继续完成未完成的下载."));
        m_answer = FileAlertAnswer::Resume;
        break;
    case 1:
        lblDes()->setText(m_reset ? kIgnoreCancels
                                  : QStringLiteral("选择 \"重新下载已存在的文件\" 可解决文件中的问题. "
                                                   "Velmora 将删除已存在的文件, 并重新下载."));
        m_answer = m_reset ? FileAlertAnswer::IgnoreAfterReset : FileAlertAnswer::DownloadAgain;
        break;
    case 2:
        lblDes()->setText(kIgnoreCancels);
        m_answer = FileAlertAnswer::Ignore;
        break;
    default:
        break;
    }
}

} // namespace velmora
