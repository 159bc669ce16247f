// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "download/ui/frmalert.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

namespace velmora {

frmAlert::frmAlert(const QString &strProblem, const QString &strFile, bool blnOfferCancel, QWidget *owner)
    : ProblemDialog(QStringLiteral("frmAlert"),
                    QStringLiteral("Velmora 在下载文件过程中产生了错误. 为防止问题扩散, 已将程序暂时中止运行. "
                                   "此向导将帮您解决问题, 这样您就可以继续进行正常的操作."),
                    owner)
    , m_canCancel(blnOfferCancel)
{
    setFile(strFile);
    setProblem(strProblem);
    AlertBeep();
    // Only "下一步>" answers; closing the window leaves no answer.

    comOperation()->addItem(QStringLiteral("忽略此问题. (建议采用)"));
    if (m_canCancel)
        comOperation()->addItem(QStringLiteral("取消下载任务."));

    connect(comOperation(), &QComboBox::currentIndexChanged, this, &frmAlert::operationSelected);
    comOperation()->setCurrentIndex(0);
    operationSelected(0);

    connect(cmdNext(), &QPushButton::clicked, this, &frmAlert::next);
}

void frmAlert::operationSelected(int position)
{
    if (position == 0) {
        lblDes()->setText(m_canCancel
                              ? QStringLiteral("选择 \"忽略此问题\" 不会解决文件中任何的问题. Velmora 将尝试重新下载当前文件.")
                              : QStringLiteral("选择 \"忽略此问题\" 不会解决文件中任何的问题. 类似的情况还可能再次出现."));
    } else if (position == 1) {
        lblDes()->setText(QStringLiteral("选择 \"取消下载任务.\" 不会解决文件中任何的问题. Velmora 将取消当前下载任务."));
    }
}

void frmAlert::next()
{
    const int position = comOperation()->currentIndex();
    if (position == 0)
        m_answer = AlertAnswer::Ignore;
    else if (position == 1)
        m_answer = AlertAnswer::CancelDownload;
    accept();
}

} // namespace velmora
