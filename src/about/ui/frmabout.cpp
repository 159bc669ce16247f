// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "about/ui/frmabout.h"

#include "about/core/system.h"
#include "common/core/version.h"
#include "common/ui/accessible.h"
#include "common/ui/msgbox.h"
#include "common/ui/sharp.h"
#include "common/ui/uifont.h"

#include <QFrame>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QTabWidget>
#include <QTextBrowser>
#include <QTreeWidget>

#include <cmath>

namespace velmora {

namespace {

// The one System object of the window, created on first use and kept across openings.
System &SharedSystem()
{
    static System system;
    return system;
}

// Window geometry, in pixels.
constexpr int kTabTop = 28;  // the tab strip above the pages

const QString kCopyright = QStringLiteral("Copyright © 2026 Velmora developers");
const QString kLicenceId = QStringLiteral("GPL-3.0-or-later");

// What an interactive program under the GPL tells its user: who holds the
// copyright, under which licence it may be shared, and that it comes
// without warranty; in Chinese, then in the licence's own words.
QString LicenceNotice()
{
    return kProductTitle + QLatin1Char('\n') + kCopyright + QStringLiteral("\n\n许可证: ") + kLicenceId
           + QStringLiteral("\n\n"
                            "Velmora 是自由软件: 您可以依据自由软件基金会发布的 GNU 通用公共许可证第 3 版, "
                            "或 (由您选择) 任何更新的版本, 再发布和/或修改它.\n\n"
                            "发布 Velmora 是希望它有用, 但不提供任何担保, 亦无对适销性或特定用途适用性的默示担保. "
                            "详情请参阅 GNU 通用公共许可证.\n\n"
                            "This program is free software: you can redistribute it and/or modify it under the "
                            "terms of the GNU General Public License as published by the Free Software Foundation, "
                            "either version 3 of the License, or (at your option) any later version.\n\n"
                            "This program is distributed in the hope that it will be useful, but WITHOUT ANY "
                            "WARRANTY; without even the implied warranty of MERCHANTABILITY or FITNESS FOR A "
                            "PARTICULAR PURPOSE. See the GNU General Public License for more details.\n\n"
                            "You should have received a copy of the GNU General Public License along with this "
                            "program. If not, see <https://www.gnu.org/licenses/>.");
}

void DrawStar(QPainter &p, QPointF c, qreal r)
{
    QPainterPath path;
    for (int i = 0; i < 10; ++i) {
        const qreal angle = -M_PI / 2 + i * M_PI / 5;
        const qreal radius = (i % 2) ? r * 0.42 : r;
        const QPointF pt(c.x() + radius * std::cos(angle), c.y() + radius * std::sin(angle));
        if (i == 0)
            path.moveTo(pt);
        else
            path.lineTo(pt);
    }
    path.closeSubpath();
    p.drawPath(path);
}

// A tall night-sky strip with a crescent moon, stars and the name written upwards.
QPixmap Picture1Art(int w, int h, qreal dpr)
{
    QPixmap pm = CanvasPixmap(QSize(w, h), dpr);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, h);
    sky.setColorAt(0, QColor(18, 24, 72));
    sky.setColorAt(0.6, QColor(74, 40, 128));
    sky.setColorAt(1, QColor(196, 92, 140));
    p.fillRect(QRect(0, 0, w, h), sky);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 244, 200));
    p.drawEllipse(QPointF(w * 0.5, 34), 16, 16);
    p.setBrush(QColor(18, 24, 72));
    p.drawEllipse(QPointF(w * 0.5 + 7, 29), 14, 14);
    p.setBrush(QColor(255, 255, 255, 210));
    const QPointF stars[] = {{10, 70}, {48, 92}, {20, 130}, {52, 160}, {14, 196}, {44, 228}};
    for (const QPointF &s : stars)
        DrawStar(p, QPointF(s.x() * w / 64.0, s.y() * h / 320.0), 3.5);
    p.translate(w * 0.5 + 7, h - 14);
    p.rotate(-90);
    QFont f = UiFont(15);
    f.setBold(true);
    f.setLetterSpacing(QFont::AbsoluteSpacing, 3);
    p.setFont(f);
    p.setPen(QColor(255, 255, 255, 230));
    p.drawText(QPointF(0, 0), QStringLiteral("VELMORA"));
    return pm;
}

// The partner logo: a play-button roundel beside a two-line name.
QPixmap PartnerArt(int w, int h, qreal dpr)
{
    QPixmap pm = CanvasPixmap(QSize(w, h), dpr);
    pm.fill(QColor(244, 248, 244));
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(64, 140, 88), 1.5));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(0.75, 0.75, w - 1.5, h - 1.5), 6, 6);
    const qreal r = h * 0.32;
    const QPointF c(h * 0.55, h * 0.5);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(64, 140, 88));
    p.drawEllipse(c, r, r);
    QPolygonF play;
    play << QPointF(c.x() - r * 0.35, c.y() - r * 0.5) << QPointF(c.x() + r * 0.55, c.y())
         << QPointF(c.x() - r * 0.35, c.y() + r * 0.5);
    p.setBrush(Qt::white);
    p.drawPolygon(play);
    QFont f = UiFont(11);
    f.setBold(true);
    p.setFont(f);
    p.setPen(QColor(40, 96, 60));
    p.drawText(QRectF(h * 1.05, 4, w - h * 1.1, h * 0.55), Qt::AlignLeft | Qt::AlignBottom,
               QStringLiteral("Moonlit Reel"));
    p.setFont(UiFont(8));
    p.setPen(QColor(96, 120, 100));
    p.drawText(QRectF(h * 1.05, h * 0.55, w - h * 1.1, h * 0.4), Qt::AlignLeft | Qt::AlignTop,
               QStringLiteral("动画资源合作伙伴"));
    return pm;
}

// The maker's banner: a sunset band with the name and a trail of stars.
QPixmap BrandArt(int w, int h, qreal dpr)
{
    QPixmap pm = CanvasPixmap(QSize(w, h), dpr);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient band(0, 0, w, h);
    band.setColorAt(0, QColor(255, 138, 76));
    band.setColorAt(0.5, QColor(226, 76, 120));
    band.setColorAt(1, QColor(92, 52, 168));
    p.fillRect(QRect(0, 0, w, h), band);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 60));
    p.drawEllipse(QPointF(w - 40, h * 0.5), h * 0.7, h * 0.7);
    p.setBrush(QColor(255, 255, 255, 200));
    for (int i = 0; i < 5; ++i)
        DrawStar(p, QPointF(w - 110 + i * 20, 18 + (i % 2) * 10), 4 + i % 3);
    QFont f = UiFont(22);
    f.setBold(true);
    p.setFont(f);
    p.setPen(QColor(0, 0, 0, 60));
    p.drawText(QRectF(18, 2, w, h), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Velmora"));
    p.setPen(Qt::white);
    p.drawText(QRectF(16, 0, w, h), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Velmora"));
    return pm;
}

// A film frame with a music note on it: the two kinds of material the program fetches.
QPixmap Image1Art(int size, qreal dpr)
{
    QPixmap pm = CanvasPixmap(QSize(size, size), dpr);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(52, 56, 70));
    p.drawRoundedRect(QRectF(s * 0.06, s * 0.14, s * 0.88, s * 0.72), 6, 6);
    p.setBrush(QColor(236, 236, 240));
    for (int i = 0; i < 6; ++i) {
        const qreal x = s * (0.12 + i * 0.135);
        p.drawRect(QRectF(x, s * 0.18, s * 0.07, s * 0.06));
        p.drawRect(QRectF(x, s * 0.76, s * 0.07, s * 0.06));
    }
    QLinearGradient screen(0, s * 0.28, 0, s * 0.72);
    screen.setColorAt(0, QColor(120, 190, 255));
    screen.setColorAt(1, QColor(60, 110, 220));
    p.setBrush(screen);
    p.drawRect(QRectF(s * 0.12, s * 0.28, s * 0.76, s * 0.44));
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(s * 0.42, s * 0.62), s * 0.07, s * 0.055);
    p.drawRect(QRectF(s * 0.47, s * 0.34, s * 0.03, s * 0.28));
    QPolygonF flag;
    flag << QPointF(s * 0.5, s * 0.34) << QPointF(s * 0.62, s * 0.40) << QPointF(s * 0.5, s * 0.45);
    p.drawPolygon(flag);
    return pm;
}

// The row icon of the list: a small monitor.
QIcon RowIcon()
{
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setPen(QColor(70, 70, 80));
    p.setBrush(QColor(210, 212, 220));
    p.drawRect(1, 1, 13, 10);
    p.fillRect(3, 3, 10, 7, QColor(40, 120, 220));
    p.fillRect(4, 4, 4, 2, QColor(150, 200, 255));
    p.fillRect(7, 12, 2, 2, QColor(70, 70, 80));
    p.fillRect(4, 14, 8, 1, QColor(70, 70, 80));
    return QIcon(pm);
}

QFrame *SeparatorLine(QWidget *parent, const QString &name, int x, int y, int w)
{
    auto *line = new QFrame(parent);
    line->setObjectName(name);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    line->setGeometry(x, y, w, 5);
    return line;
}

QLabel *Caption(QWidget *parent, const QString &name, const QString &text, int x, int y, int w, int h,
                qreal points = 9, bool bold = false)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    QFont f = UiFont(points);
    f.setBold(bold);
    label->setFont(f);
    label->setGeometry(x, y, w, h);
    return label;
}

QLabel *PictureBox(QWidget *parent, const QString &name, const QPixmap &art, int x, int y)
{
    auto *box = new QLabel(parent);
    box->setObjectName(name);
    box->setPixmap(art);
    box->setGeometry(QRect(QPoint(x, y), art.deviceIndependentSize().toSize()));
    return box;
}

} // namespace

frmAbout::frmAbout(QWidget *parent) : frmAbout(SharedSystem(), parent) {}

frmAbout::frmAbout(System &system, QWidget *parent) : QDialog(parent), objSystem(&system)
{
    BuildControls();
    Form_Load();
}

void frmAbout::BuildControls()
{
    DescribeWindow(this, QAccessible::Dialog, QStringLiteral("程序信息, 版本号, 系统信息和许可证"));
    setWindowTitle(QStringLiteral("关于 Velmora"));
    setFont(UiFont(9));
    setFixedSize(390, 424);
    setWindowFlag(Qt::MSWindowsFixedSizeDialogHint, true);
    setSizeGripEnabled(false);
    const qreal dpr = DeviceRatioOf(this);

    SSTab1 = new QTabWidget(this);
    SSTab1->setObjectName(QStringLiteral("SSTab1"));
    SSTab1->setGeometry(8, 8, 373, 381);
    SSTab1->setUsesScrollButtons(false);

    // 常规: the product name beside the tall picture.
    auto *general = new QWidget;
    Picture1 = PictureBox(general, QStringLiteral("Picture1"), Picture1Art(64, 320, dpr), 12, 10);
    Picture1->installEventFilter(this);
    Picture1->setAccessibleName(QStringLiteral("Velmora 图片"));
    Caption(general, QStringLiteral("Label1"), QStringLiteral("Velmora"), 92, 14, 260, 40, 20, true);
    SeparatorLine(general, QStringLiteral("frmLine1"), 92, 60, 260);
    // The licence in short, where every opening starts; in full on its own page.
    Caption(general, QStringLiteral("lblCopyright"), kCopyright, 92, 76, 260, 20);
    Caption(general, QStringLiteral("lblLicence"), QStringLiteral("许可证: ") + kLicenceId, 92, 100, 260, 20);
    QLabel *warranty = Caption(general, QStringLiteral("lblWarranty"),
                               QStringLiteral("Velmora 是自由软件, 不提供任何担保. 详情请参阅 \"许可证\" 页."),
                               92, 124, 260, 40);
    warranty->setWordWrap(true);
    SeparatorLine(general, QStringLiteral("frmLine2"), 92, 244, 260);
    PictureBox(general, QStringLiteral("picPartner"), PartnerArt(260, 56, dpr), 92, 256)
        ->setAccessibleName(QStringLiteral("合作伙伴标志"));
    SeparatorLine(general, QStringLiteral("frmLine3"), 92, 320, 260);
    SSTab1->addTab(general, QStringLiteral("常规"));

    // Velmora: the brand banner, name and version.
    auto *product = new QWidget;
    PictureBox(product, QStringLiteral("picBrand"), BrandArt(345, 90, dpr), 12, 10)
        ->setAccessibleName(QStringLiteral("Velmora 标志"));
    SeparatorLine(product, QStringLiteral("frmLine4"), 12, 112, 345);
    Caption(product, QStringLiteral("Label5"), QStringLiteral("Velmora"), 12, 126, 200, 28, 14, true);
    Label6 = Caption(product, QStringLiteral("Label6"), QStringLiteral("版本 0.00"), 12, 160, 200, 20);
    PictureBox(product, QStringLiteral("Image1"), Image1Art(112, dpr), 236, 200)
        ->setAccessibleName(QStringLiteral("Velmora 图标"));
    SSTab1->addTab(product, QStringLiteral("Velmora"));

    // 系统信息: the two-column list of facts.
    auto *sysinfo = new QWidget;
    Caption(sysinfo, QStringLiteral("Label12"), QStringLiteral("系统信息"), 16, 12, 200, 26, 12, true);
    SeparatorLine(sysinfo, QStringLiteral("Frame2"), 16, 72 - kTabTop, 337);
    // No access key of its own: Alt+C is the Close button's on every page,
    // and Alt+D below already leads into the list.
    QLabel *label11 = Caption(sysinfo, QStringLiteral("Label11"),
                              QStringLiteral("单击下列类别之一以查看详细资料"), 16, 52, 220, 18);
    QLabel *label13 = Caption(sysinfo, QStringLiteral("Label13"), QStringLiteral("详细资料(&D)"), 253, 52, 100, 18);
    label13->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    lstSysinfo = new QTreeWidget(sysinfo);
    lstSysinfo->setObjectName(QStringLiteral("lstSysinfo"));
    lstSysinfo->setGeometry(16, 100 - kTabTop, 337, 253);
    lstSysinfo->setColumnCount(2);
    lstSysinfo->setHeaderLabels({QStringLiteral("项目"), QStringLiteral("值")});
    lstSysinfo->header()->setStretchLastSection(false);
    lstSysinfo->setColumnWidth(0, 160);
    lstSysinfo->setColumnWidth(1, 160);
    lstSysinfo->setRootIsDecorated(false);
    lstSysinfo->setItemsExpandable(false);
    lstSysinfo->setUniformRowHeights(true);
    lstSysinfo->setIconSize(QSize(16, 16));
    lstSysinfo->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lstSysinfo->setAccessibleName(QStringLiteral("系统信息"));
    label11->setBuddy(lstSysinfo);
    label13->setBuddy(lstSysinfo);
    SSTab1->addTab(sysinfo, QStringLiteral("系统信息"));

    // 版本信息: name and version in a frame.
    auto *version = new QWidget;
    auto *frame1 = new QGroupBox(version);
    frame1->setObjectName(QStringLiteral("Frame1"));
    frame1->setGeometry(12, 12, 345, 96);
    Caption(frame1, QStringLiteral("Label7"), QStringLiteral("Velmora"), 16, 20, 300, 26, 12, true);
    Label8 = Caption(frame1, QStringLiteral("Label8"), QStringLiteral("版本 0.00 Build 000"), 16, 54, 300, 20);
    SSTab1->addTab(version, QStringLiteral("版本信息"));

    // 许可证: the whole notice, to read and to select by keyboard.
    auto *licence = new QWidget;
    auto *notice = new QTextBrowser(licence);
    notice->setObjectName(QStringLiteral("txtLicence"));
    notice->setGeometry(12, 12, 345, 330);
    notice->setPlainText(LicenceNotice());
    notice->setAccessibleName(QStringLiteral("许可证"));
    SSTab1->addTab(licence, QStringLiteral("许可证"));
    SSTab1->setCurrentIndex(0);

    cmdClose = new QPushButton(QStringLiteral("关闭(&C)"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    cmdClose->setGeometry(304, 396, 77, 21);
    cmdClose->setDefault(true);
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::accept);
}

void frmAbout::Form_Load()
{
    Label6->setText(QStringLiteral("版本 ") + kVersion);
    Label8->setText(QStringLiteral("版本 ") + kVersion);
    InitSysinfo();
    lstSysinfo->update();
}

void frmAbout::InitSysinfo()
{
    m_fields = SysinfoFields();
    const QList<SysinfoRow> rows = BuildSysinfoRows(*objSystem, m_fields);
    lstSysinfo->clear();
    static const QIcon icon = RowIcon();
    for (const SysinfoRow &row : rows) {
        auto *item = new QTreeWidgetItem(lstSysinfo, {row.first, row.second});
        item->setIcon(0, icon);
        item->setToolTip(1, row.second);  // the column is narrow for long values
    }
}

void frmAbout::showEvent(QShowEvent *event)
{
    // Opening the window again reads the computer again.
    if (m_reloadOnShow) {
        m_reloadOnShow = false;
        SSTab1->setCurrentIndex(0);
        Form_Load();
    }
    QDialog::showEvent(event);
}

void frmAbout::hideEvent(QHideEvent *event)
{
    if (!event->spontaneous())
        m_reloadOnShow = true;
    QDialog::hideEvent(event);
}

bool frmAbout::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Picture1 && event->type() == QEvent::MouseButtonRelease) {
        auto *mouse = static_cast<QMouseEvent *>(event);
        Picture1_MouseUp(mouse->button(), mouse->modifiers());
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void frmAbout::Picture1_MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers)
{
    const Qt::KeyboardModifiers all = Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier;
    if (button != Qt::LeftButton || (modifiers & all) != all)
        return;
    const QString text = kProductTitle + QLatin1Char('\n')
            + QStringLiteral("Vadararo Riziv Ozivuvev & Ivazur Arerur") + QLatin1Char('\n')
            + QLatin1Char('\n')
            + QStringLiteral("系统信息由本机实时测量,图片均为原创绘制。");
    ShowMessage(this, QMessageBox::Information, text, QMessageBox::Ok);
}

} // namespace velmora
