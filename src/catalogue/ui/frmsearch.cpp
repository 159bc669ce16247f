// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "catalogue/ui/frmsearch.h"

#include "common/core/globals.h"
#include "common/ui/msgbox.h"
#include "common/ui/tooltip.h"
#include "common/ui/placement.h"
#include "common/ui/uifont.h"

#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScreen>

namespace velmora {

frmSearch::frmSearch(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("frmSearch"));
    setWindowTitle(QStringLiteral("Velmora Music Search"));
    setModal(true);
    setFont(UiFont(9));
    setFixedSize(385, 137);

    lblDescription = new QLabel(
        QStringLiteral("输入希望搜索的专辑, 曲目或艺术家名称, Velmora 将通过 Internet 进行搜索."), this);
    lblDescription->setObjectName(QStringLiteral("lblDescription"));
    lblDescription->setWordWrap(true);
    lblDescription->setGeometry(66, 12, 306, 36);
    lblDescription->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    lblWord = new QLabel(QStringLiteral("搜索内容(&C):"), this);
    lblWord->setObjectName(QStringLiteral("lblWord"));
    lblWord->setGeometry(66, 58, 90, 22);

    txtWord = new QLineEdit(this);
    txtWord->setObjectName(QStringLiteral("txtWord"));
    txtWord->setGeometry(154, 57, 218, 24);
    lblWord->setBuddy(txtWord);

    cmdOK = new QPushButton(QStringLiteral("确定"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setGeometry(206, 100, 80, 26);
    cmdOK->setDefault(true);
    cmdOK->setAutoDefault(true);

    cmdCancel = new QPushButton(QStringLiteral("取消"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdCancel->setGeometry(292, 100, 80, 26);
    cmdCancel->setAutoDefault(false);

    setTabOrder(txtWord, cmdOK);
    setTabOrder(cmdOK, cmdCancel);
    txtWord->setFocus();

    connect(cmdOK, &QPushButton::clicked, this, &frmSearch::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmSearch::cmdCancel_Click);

    Form_Load();
}

void frmSearch::Form_Load()
{
    // The tip belongs to txtWord from Create on; the object itself is not kept.
    clsToolTip tipWord;
    tipWord.setParentControl(txtWord);
    tipWord.setToolTipTitle(QStringLiteral("搜索内容(&C)"));
    tipWord.setToolTipText(QStringLiteral("输入希望搜索的专辑, 曲目或艺术家名称"));
    tipWord.Create();
}

void frmSearch::cmdOK_Click()
{
    const QString typed = txtWord->text();
    if (typed.trimmed().isEmpty()) {
        ShowMessage(this, QMessageBox::Information, QStringLiteral("请输入希望搜索的专辑, 曲目或艺术家名称."));
        txtWord->setFocus();
        return;
    }
    strSearchWord = typed;
    accept();
}

void frmSearch::cmdCancel_Click()
{
    strSearchWord.clear();
    reject();
}

void frmSearch::showEvent(QShowEvent *event)
{
    PlaceOnScreen(this);
    QDialog::showEvent(event);
    txtWord->setFocus();
}

// The dialog's own background: a pale blue wash with a band on the left that
// carries a magnifier over a note.
void frmSearch::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient wash(0, 0, 0, height());
    wash.setColorAt(0.0, QColor(0xf4, 0xf8, 0xfd));
    wash.setColorAt(1.0, QColor(0xdd, 0xe8, 0xf6));
    p.fillRect(rect(), wash);

    QLinearGradient band(0, 0, 56, 0);
    band.setColorAt(0.0, QColor(0x2f, 0x6d, 0xc4));
    band.setColorAt(1.0, QColor(0x5c, 0x95, 0xdf));
    p.fillRect(QRect(0, 0, 56, height()), band);
    p.setPen(QPen(QColor(0xa9, 0xc3, 0xe6), 1));
    p.drawLine(56, 0, 56, height());
    p.drawLine(66, 90, width() - 13, 90);

    // A note.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 210));
    p.drawEllipse(QRectF(12, 36, 11, 8));
    p.drawRect(QRectF(21, 14, 2.2, 26));
    QPainterPath flag;
    flag.moveTo(23, 14);
    flag.cubicTo(30, 18, 32, 22, 29, 30);
    flag.cubicTo(30, 24, 27, 21, 23, 20);
    flag.closeSubpath();
    p.drawPath(flag);

    // The magnifier over it.
    p.setBrush(QColor(255, 255, 255, 60));
    p.setPen(QPen(Qt::white, 3));
    p.drawEllipse(QPointF(30, 58), 11, 11);
    p.setPen(QPen(Qt::white, 5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(38.5, 66.5), QPointF(46, 74));
}

} // namespace velmora
