// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "download/ui/frmverifyalert.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

namespace velmora {

frmVerifyAlert::frmVerifyAlert(const Verdict &verdict, const QString &strFile, QWidget *owner)
    : ProblemDialog(QStringLiteral("frmVerifyAlert"),
                    QStringLiteral("Velmora 在下载文件过程中产生了错误. 为防止问题扩散, 已将程序暂时中止运行. "
                                   "此向导将帮您解决问题, 这样您就可以继续进行正常的操作."),
                    owner)
    , m_mismatch(VerifyMismatchText(verdict))
{
    setFile(strFile);
    setProblem(ProblemText(Problem::VerifyMismatch));
    AlertBeep();

    comOperation()->addItem(QStringLiteral("重新下载"));
    comOperation()->addItem(QStringLiteral("保留此文件."));
    connect(comOperation(), &QComboBox::currentIndexChanged, this, &frmVerifyAlert::operationSelected);
    comOperation()->setCurrentIndex(0);
    operationSelected(0);

    connect(cmdNext(), &QPushButton::clicked, this, &frmVerifyAlert::next);
}

void frmVerifyAlert::operationSelected(int position)
{
    if (position == 0)
        lblDes()->setText(m_mismatch + QStringLiteral(" 选择 \"重新下载\", Velmora 将删除此文件, 并从头重新下载."));
    else if (position == 1)
        lblDes()->setText(m_mismatch + QStringLiteral(" 选择 \"保留此文件.\", 文件保持原样, 下载记为未完成."));
}

void frmVerifyAlert::next()
{
    const int position = comOperation()->currentIndex();
    m_answer = position == 0 ? VerifyAnswer::DownloadAgain : VerifyAnswer::Keep;
    accept();
}

} // namespace velmora
