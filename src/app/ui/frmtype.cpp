// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/ui/frmtype.h"

#include "app/ui/art.h"
#include "app/ui/startup.h"
#include "common/core/globals.h"
#include "common/core/version.h"
#include "common/ui/accessible.h"
#include "common/ui/focusstyle.h"
#include "common/ui/sharp.h"
#include "common/ui/placement.h"
#include "common/ui/uifont.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QShortcut>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QUrl>

namespace velmora {

namespace {
const QRect kAnimeRect(209, 113, 102, 134);
const QRect kMusicRect(75, 155, 100, 122);
} // namespace

// --- PictureButton --------------------------------------------------------

PictureButton::PictureButton(QWidget *parent) : QWidget(parent)
{
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    // Reached by Tab; a click picks at once, so it needs no focus of its own.
    setFocusPolicy(Qt::TabFocus);
    RegisterDrawnControl(metaObject()->className(), QAccessible::Button);
}

void PictureButton::setPicture(const QPixmap &picture)
{
    m_picture = picture;
    update();
}

bool PictureButton::shows(int index) const
{
    return m_images && !m_picture.isNull() && m_picture.cacheKey() == (*m_images)[size_t(index)].cacheKey();
}

int PictureButton::shownImage() const
{
    for (int i = 0; i < 3; ++i)
        if (shows(i))
            return i;
    return -1;
}

bool PictureButton::isInside(const QPointF &pos) const
{
    return pos.x() >= 0 && pos.x() <= width() && pos.y() >= 0 && pos.y() <= height();
}

void PictureButton::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_images)
        return;
    // While a mouse button is down the press already routes every move
    // here. Taking or dropping a grab then would end the press's own grab
    // on X11: its release would go to another window, and the program would
    // go on thinking the button down, with no hover anywhere, until the next
    // click inside.
    const bool held = event->buttons() != Qt::NoButton;
    if (isInside(event->position())) {
        if (!shows(1) && !shows(2))
            setPicture((*m_images)[1]);
        // Keep seeing the pointer after it leaves, to put the normal image back.
        if (!held && QWidget::mouseGrabber() != this)
            grabMouse();
    } else {
        if (!shows(0))
            setPicture((*m_images)[0]);
        if (!held && QWidget::mouseGrabber() == this)
            releaseMouse();
    }
}

void PictureButton::mousePressEvent(QMouseEvent *event)
{
    m_pressed = isInside(event->position());
    if (m_images && !shows(2))
        setPicture((*m_images)[2]);
}

void PictureButton::mouseReleaseEvent(QMouseEvent *event)
{
    const bool inside = isInside(event->position());
    const bool click = m_pressed && inside;
    m_pressed = false;
    // Released elsewhere: the grab kept during the press is no longer needed.
    if (!inside && event->buttons() == Qt::NoButton) {
        if (m_images && !shows(0))
            setPicture((*m_images)[0]);
        if (QWidget::mouseGrabber() == this)
            releaseMouse();
    }
    if (click)
        emit clicked();
}

void PictureButton::keyPressEvent(QKeyEvent *event)
{
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    const int key = event->key();
    if (plain && (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space)) {
        event->accept();
        emit clicked();
        return;
    }
    QWidget::keyPressEvent(event);
}

void PictureButton::focusInEvent(QFocusEvent *event)
{
    update();
    QWidget::focusInEvent(event);
}

void PictureButton::focusOutEvent(QFocusEvent *event)
{
    update();
    QWidget::focusOutEvent(event);
}

void PictureButton::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    if (m_picture.isNull())
        p.fillRect(rect(), palette().window());
    else
        p.drawPixmap(0, 0, m_picture);
    if (hasFocus())
        DrawFocusRing(p, rect(), this);
}

LinkArea::LinkArea(QWidget *parent) : QWidget(parent)
{
    RegisterDrawnControl(metaObject()->className(), QAccessible::Link);
}

void LinkArea::mouseReleaseEvent(QMouseEvent *event)
{
    if (rect().contains(event->position().toPoint()))
        emit clicked();
}

// --- frmType --------------------------------------------------------------

const QString frmType::kMakerPage = QStringLiteral("https://quillon.example/");
const QString frmType::kPartnerPage = QStringLiteral("https://partner.quillon.example/");
const QString frmType::kSponsorPage = QStringLiteral("https://sponsor.quillon.example/");

static QPointer<frmType> s_current;

frmType *frmType::current() { return s_current; }

frmType::frmType(QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint)
{
    s_current = this;
    ShellEvents::instance()->beginRun();
    setObjectName(QStringLiteral("frmType"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFont(UiFont(9));
    setFixedSize(480, 357);
    setEnabled(false);

    picMouseIconRes = art::HandCursor();

    picAnime = new PictureButton(this);
    picAnime->setObjectName(QStringLiteral("picAnime"));
    picAnime->setGeometry(kAnimeRect);
    picAnime->setImages(&imgAnimeRes);
    picMusic = new PictureButton(this);
    picMusic->setObjectName(QStringLiteral("picMusic"));
    picMusic->setGeometry(kMusicRect);
    picMusic->setImages(&imgMusicRes);
    DrawArtwork(DeviceRatioOf(this));

    imgLogo = new LinkArea(this);
    imgLogo->setObjectName(QStringLiteral("imgLogo"));
    imgLogo->setGeometry(312, 256, 169, 89);
    imgLogo->setToolTip(QStringLiteral("Powered by Quillon"));
    imgPartner = new LinkArea(this);
    imgPartner->setObjectName(QStringLiteral("imgPartner"));
    imgPartner->setGeometry(320, 160, 153, 25);
    imgPartner->setToolTip(QStringLiteral("合作伙伴: 星桥动漫社区"));

    QPalette white = palette();
    white.setColor(QPalette::WindowText, Qt::white);
    lblSponsor = new QLabel(QStringLiteral("本程序由 Northwind 主机赞助"), this);
    lblSponsor->setObjectName(QStringLiteral("lblSponsor"));
    lblSponsor->setPalette(white);
    lblSponsor->setFont(UiFont(8));
    lblSponsor->setToolTip(QStringLiteral("赞助商: Northwind 主机"));
    lblSponsor->adjustSize();
    lblSponsor->move(292, 4);
    lblSponsor->resize(lblSponsor->width(), 14);
    lblSponsor->installEventFilter(this);
    lblComment = new QLabel(QStringLiteral("提示: 关闭本窗口即可退出 Velmora. 所有资源均来自 Internet."), this);
    lblComment->setObjectName(QStringLiteral("lblComment"));
    lblComment->setPalette(white);
    lblComment->setFont(UiFont(8));
    lblComment->adjustSize();
    lblComment->move(7, 337);
    lblComment->resize(lblComment->width(), 14);

    setTabOrder(picAnime, picMusic);
    imgLogo->setAccessibleName(imgLogo->toolTip());
    imgPartner->setAccessibleName(imgPartner->toolTip());
    InstallKeys();

    connect(picAnime, &PictureButton::clicked, this, [this] { Pick(true); });
    connect(picMusic, &PictureButton::clicked, this, [this] { Pick(false); });
    connect(imgLogo, &LinkArea::clicked, this, [this] { OpenPage(kMakerPage); });
    connect(imgPartner, &LinkArea::clicked, this, [this] { OpenPage(kPartnerPage); });

    // Centred on the screen (the chooser has no owner).
    PlaceOnScreen(this);

    Form_Load();
    emit ShellEvents::instance()->chooserOpened(this);
}

frmType::~frmType() = default;

void frmType::Form_Load()
{
    ChooserAwaitsPick();
    setWindowTitle(kProductTitle);
    const QIcon icon = art::AppIcon();
    setWindowIcon(icon);
    // The main window takes its icon from the application, which gets ours.
    qApp->setWindowIcon(icon);

    picMusic->setPicture(imgMusicRes[0]);
    picAnime->setPicture(imgAnimeRes[0]);

    for (QWidget *w : {static_cast<QWidget *>(picMusic), static_cast<QWidget *>(picAnime),
                       static_cast<QWidget *>(imgPartner), static_cast<QWidget *>(imgLogo),
                       static_cast<QWidget *>(lblSponsor)})
        w->setCursor(picMouseIconRes);

    tipAnime.setParentControl(picAnime);
    tipAnime.setToolTipTitle(QStringLiteral("动画下载(&A)..."));
    tipAnime.setToolTipText(QStringLiteral("下载TV版, OVA版以及剧场版动画"));
    tipAnime.Create();
    tipMusic.setParentControl(picMusic);
    tipMusic.setToolTipTitle(QStringLiteral("动漫音乐(&M)..."));
    tipMusic.setToolTipText(QStringLiteral("下载动漫相关歌曲, 单曲集以及原声集"));
    tipMusic.Create();
    // Screen readers name the buttons as their balloons do; the "&" marks
    // only the access key.
    picAnime->setAccessibleName(QStringLiteral("动画下载(A)..."));
    picAnime->setAccessibleDescription(tipAnime.toolTipText());
    picMusic->setAccessibleName(QStringLiteral("动漫音乐(M)..."));
    picMusic->setAccessibleDescription(tipMusic.toolTipText());
}

// The access keys the balloons name, and Escape for the close box.
void frmType::InstallKeys()
{
    auto *anime = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_A), this);
    connect(anime, &QShortcut::activated, picAnime, &PictureButton::click);
    auto *music = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_M), this);
    connect(music, &QShortcut::activated, picMusic, &PictureButton::click);
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);
}

void frmType::changeEvent(QEvent *event)
{
    // Enabled for use: the keyboard starts on the first button, framed.
    if (event->type() == QEvent::EnabledChange && isEnabled() && !focusWidget())
        picAnime->setFocus(Qt::OtherFocusReason);
    QWidget::changeEvent(event);
}

void frmType::Pick(bool animeMode)
{
    CatalogueChosen(animeMode);
    OpenMainWindow();
    close();
}

void frmType::OpenPage(const QString &address)
{
    // Whether a browser came up is not our concern.
    QDesktopServices::openUrl(QUrl(address));
}

bool frmType::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == lblSponsor && event->type() == QEvent::MouseButtonRelease) {
        auto *me = static_cast<QMouseEvent *>(event);
        if (lblSponsor->rect().contains(me->position().toPoint()))
            OpenPage(kSponsorPage);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void frmType::closeEvent(QCloseEvent *event)
{
    // A disabled window takes no input, its close box included.
    if (!isEnabled() && event->spontaneous()) {
        event->ignore();
        return;
    }
    if (QWidget::mouseGrabber() && isAncestorOf(QWidget::mouseGrabber()))
        QWidget::mouseGrabber()->releaseMouse();
    event->accept();
    if (s_current == this)
        s_current = nullptr;
    if (blnExitOnChooserClose)
        ShellEvents::instance()->EndProgram();
}

void frmType::DrawArtwork(qreal dpr)
{
    const int anime = picAnime->shownImage();
    const int music = picMusic->shownImage();
    m_background = art::ChooserBackground(dpr);
    for (int i = 0; i < 3; ++i) {
        imgAnimeRes[size_t(i)] = art::AnimeButtonImage(m_background, kAnimeRect, i);
        imgMusicRes[size_t(i)] = art::MusicButtonImage(m_background, kMusicRect, i);
    }
    if (anime >= 0)
        picAnime->setPicture(imgAnimeRes[size_t(anime)]);
    if (music >= 0)
        picMusic->setPicture(imgMusicRes[size_t(music)]);
}

void frmType::paintEvent(QPaintEvent *)
{
    // Moved to a screen of another pixel ratio: draw the pictures for it.
    if (!qFuzzyCompare(m_background.devicePixelRatio(), devicePixelRatioF()))
        DrawArtwork(devicePixelRatioF());
    QPainter p(this);
    p.drawPixmap(0, 0, m_background);
}

} // namespace velmora
