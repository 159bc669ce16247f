// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "download/ui/problemdialog.h"

#include "download/ui/alerts.h"
#include "download/ui/artwork.h"
#include "common/core/version.h"
#include "common/ui/placement.h"
#include "common/ui/sharp.h"
#include "common/ui/uifont.h"
#include "download/core/address.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScreen>

#include <algorithm>

namespace velmora {

namespace {

// The layout was drawn for a font 13 pixels high; where the face standing in
// for it (with CJK glyphs) needs a taller line, a label grows downwards
// instead of clipping its text. Place and width stay as drawn.
QRect FitLine(const QWidget *label, QRect geometry)
{
    geometry.setHeight(std::max(geometry.height(), label->fontMetrics().height()));
    return geometry;
}

QLabel *MakeLabel(QWidget *parent, const char *name, const QString &text, const QRect &geometry)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setGeometry(FitLine(label, geometry));
    return label;
}

} // namespace

void AlertBeep()
{
    QApplication::beep();
    emit AlertDialogs::instance()->beeped();
}

ProblemDialog::ProblemDialog(const QString &objectName, const QString &introduction, QWidget *owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
                           | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(objectName);
    setWindowTitle(kProductTitle);
    setFixedSize(450, 322);
    setFont(UiFont(8.25));
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
    setAutoFillBackground(true);

    m_picTop = new QLabel(this);
    m_picTop->setObjectName(QStringLiteral("picTop"));
    m_picTop->setGeometry(0, 0, 450, 61);
    m_picTop->setPixmap(AlertBannerPicture(DeviceRatioOf(this)));
    m_picTop->setAccessibleName(QStringLiteral("下载问题"));

    m_imgAlert = new QLabel(this);
    m_imgAlert->setObjectName(QStringLiteral("imgAlert"));
    m_imgAlert->setGeometry(12, 68, 41, 34);
    m_imgAlert->setPixmap(AlertIconPicture(DeviceRatioOf(this)));
    m_imgAlert->setAccessibleName(QStringLiteral("警告"));

    m_lblDescription = MakeLabel(this, "lblDescription", introduction, QRect(60, 68, 369, 41));
    m_lblDescription->setWordWrap(true);

    MakeLabel(this, "lblFile", QStringLiteral("文件:"), QRect(12, 123, 28, 13));
    m_txtFile = new QLineEdit(this);
    m_txtFile->setObjectName(QStringLiteral("txtFile"));
    m_txtFile->setGeometry(60, 120, 365, 21);
    m_txtFile->setReadOnly(true);
    m_txtFile->setFocusPolicy(Qt::ClickFocus);
    m_txtFile->setAccessibleName(QStringLiteral("文件"));

    MakeLabel(this, "lblProblem", QStringLiteral("问题: "), QRect(12, 156, 31, 13));
    m_lblAbend = MakeLabel(this, "lblAbend", QString(), QRect(60, 156, 0, 13));

    MakeLabel(this, "lblAction", QStringLiteral("请选择一项操作, 然后单击 \"下一步\" 按钮. "), QRect(12, 192, 220, 13));
    MakeLabel(this, "Label2", QStringLiteral("操作: "), QRect(12, 216, 31, 13));

    m_comOperation = new QComboBox(this);
    m_comOperation->setObjectName(QStringLiteral("comOperation"));
    m_comOperation->setEditable(false);
    m_comOperation->setGeometry(60, 212, 365, 21);
    m_comOperation->setAccessibleName(QStringLiteral("操作"));

    m_lblDes = MakeLabel(this, "lblDes", QString(), QRect(60, 244, 365, 37));
    m_lblDes->setWordWrap(true);

    m_cmdNext = new QPushButton(QStringLiteral("下一步>"), this);
    m_cmdNext->setObjectName(QStringLiteral("cmdNext"));
    m_cmdNext->setGeometry(368, 296, 73, 21);
    m_cmdNext->setDefault(true);
    m_cmdNext->setAutoDefault(false);

    setTabOrder(m_comOperation, m_cmdNext);
}

void ProblemDialog::setFile(const QString &strFile)
{
    m_txtFile->setText(FileNameOf(strFile));
    m_txtFile->setCursorPosition(0);
}

void ProblemDialog::setProblem(const QString &strProblem)
{
    m_lblAbend->setText(strProblem);
    // Sized to its text, keeping its place and height.
    const int width = m_lblAbend->fontMetrics().horizontalAdvance(strProblem) + 2;
    m_lblAbend->setGeometry(FitLine(m_lblAbend, QRect(60, 156, width, 13)));
}

bool ProblemDialog::event(QEvent *event)
{
    if (event->type() == QEvent::WindowActivate)
        m_comOperation->setFocus(Qt::ActiveWindowFocusReason);
    return QDialog::event(event);
}

void ProblemDialog::showEvent(QShowEvent *event)
{
    PlaceOnScreen(this);
    m_comOperation->setFocus(Qt::OtherFocusReason);
    QDialog::showEvent(event);
}

void ProblemDialog::paintEvent(QPaintEvent *event)
{
    QDialog::paintEvent(event);
    // The separator under the problem, in the 3-D shadow colour.
    QPainter p(this);
    p.setPen(palette().color(QPalette::Dark));
    p.drawLine(0, 180, 452, 180);
}

} // namespace velmora
