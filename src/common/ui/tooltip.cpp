// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "common/ui/tooltip.h"

#include "common/ui/accessible.h"
#include "common/ui/uifont.h"

#include <QAbstractScrollArea>
#include <QBitmap>
#include <QEnterEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>

#ifdef VELMORA_HAVE_XCB
#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>
#include <cstdlib>
#endif

namespace velmora {

namespace {

constexpr int kMargin = 9;       // inside the rounded body
constexpr int kIconSize = 16;
constexpr int kIconGap = 6;
constexpr int kLineGap = 4;      // between the title line and the text
constexpr int kRadius = 7;
constexpr int kStemHeight = 15;
constexpr int kStemWidth = 14;
constexpr int kStemInset = 18;   // preferred distance of the stem from the body's left edge
constexpr int kMaxTextWidth = 320;
constexpr int kPointerGap = 2;   // the stem ends just below the pointer's hot spot

QFont titleFont()
{
    QFont f = UiFont(9);
    f.setBold(true);
    return f;
}

// The information icon: a blue disc with a white "i".
void drawInfoIcon(QPainter &p, const QRectF &r)
{
    p.save();
    QRadialGradient g(r.center() - QPointF(r.width() * 0.2, r.height() * 0.25), r.width() * 0.75);
    g.setColorAt(0.0, QColor(0x7f, 0xb4, 0xf5));
    g.setColorAt(1.0, QColor(0x1c, 0x5c, 0xbf));
    p.setPen(QPen(QColor(0x16, 0x4a, 0x9c), 1.0));
    p.setBrush(g);
    p.drawEllipse(r.adjusted(0.5, 0.5, -0.5, -0.5));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    const qreal cx = r.center().x();
    const qreal u = r.width() / 16.0;
    p.drawEllipse(QPointF(cx, r.top() + 4.2 * u), 1.4 * u, 1.4 * u);
    p.drawRoundedRect(QRectF(cx - 1.25 * u, r.top() + 6.6 * u, 2.5 * u, 6.4 * u), 0.8 * u, 0.8 * u);
    p.restore();
}

#ifdef VELMORA_HAVE_XCB
// A compositing manager owns the selection _NET_WM_CM_S<screen> while it runs.
bool X11CompositorRuns()
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t *c = x11 ? x11->connection() : nullptr;
    if (!c)
        return false;
    const int screens = xcb_setup_roots_length(xcb_get_setup(c));
    bool owned = false;
    for (int i = 0; i < screens && !owned; ++i) {
        const QByteArray name = "_NET_WM_CM_S" + QByteArray::number(i);
        xcb_intern_atom_reply_t *atom =
            xcb_intern_atom_reply(c, xcb_intern_atom(c, 1, quint16(name.size()), name.constData()), nullptr);
        if (atom && atom->atom != XCB_ATOM_NONE) {
            xcb_get_selection_owner_reply_t *owner =
                xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, atom->atom), nullptr);
            owned = owner && owner->owner != XCB_NONE;
            std::free(owner);
        }
        std::free(atom);
    }
    return owned;
}
#endif

// The pixels a shape covers when drawn without smoothing, outline included.
QRegion RegionOf(const QPainterPath &shape, const QSize &size)
{
    QImage img(size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setPen(QPen(Qt::black, 1.0));
    p.setBrush(Qt::black);
    p.drawPath(shape);
    p.end();
    return QRegion(QBitmap::fromImage(img.createAlphaMask()));
}

const QColor kBorder(0x76, 0x76, 0x76);

QLinearGradient BodyFill(int height)
{
    QLinearGradient fill(0, 0, 0, height);
    fill.setColorAt(0.0, QColor(0xff, 0xff, 0xf0));
    fill.setColorAt(1.0, QColor(0xff, 0xf8, 0xd6));
    return fill;
}

} // namespace

bool BalloonTip::PerPixelAlphaAvailable()
{
    const QString platform = QGuiApplication::platformName();
#ifdef VELMORA_HAVE_XCB
    if (platform == QLatin1String("xcb"))
        return X11CompositorRuns();
#endif
    // These always composite their windows; anything else (a bare X server,
    // a framebuffer, offscreen) shows a window's transparent parts as black.
    return platform.startsWith(QLatin1String("wayland")) || platform == QLatin1String("windows")
           || platform == QLatin1String("cocoa");
}

BalloonTip::BalloonTip(QWidget *control, const QRect &toolRect)
    : QWidget(control, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowTransparentForInput),
      m_control(control), m_toolRect(toolRect)
{
    // See-through only where the desktop can show it; otherwise the window
    // is cut to the balloon's shape (updateCut).
    if (PerPixelAlphaAvailable())
        setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setObjectName(QStringLiteral("balloonTip"));
    // While it shows, a screen reader finds it as a tool tip with the
    // balloon's title and text, not as an empty window.
    RegisterDrawnControl(metaObject()->className(), QAccessible::ToolTip);
    m_delay.setSingleShot(true);
    m_delay.setInterval(kShowDelay);
    connect(&m_delay, &QTimer::timeout, this, &BalloonTip::delayElapsed);
    // The tip follows the pointer over the control the way the platform tip
    // watches the control's mouse messages: moves without a button held
    // must reach us too. A scrolling control (the tree) gets its mouse on its
    // item area, so that is watched as well.
    watch(control);
    if (auto *scroller = qobject_cast<QAbstractScrollArea *>(control)) {
        m_itemArea = scroller->viewport();
        watch(m_itemArea);
    }
    if (QWidget *top = control->window(); top != control)
        top->installEventFilter(this);
    m_cut = !testAttribute(Qt::WA_TranslucentBackground);
    layoutBalloon();
}

void BalloonTip::watch(QWidget *area)
{
    area->setMouseTracking(true);
    area->installEventFilter(this);
}

void BalloonTip::updateCut()
{
    if (m_cut)
        setMask(RegionOf(shapePath(), size()));
    else
        clearMask();
}

BalloonTip::~BalloonTip() = default;

void BalloonTip::setTitle(const QString &title, bool withIcon)
{
    m_title = title;
    m_icon = withIcon;
    // The "&" of a title repeating a caption marks the access key: no word to read.
    setAccessibleName(QString(title).remove(QLatin1Char('&')));
    layoutBalloon();
}

void BalloonTip::setText(const QString &text)
{
    m_text = text;
    setAccessibleDescription(text);
    layoutBalloon();
}

void BalloonTip::layoutBalloon()
{
    const QFontMetrics tf(titleFont());
    const QFontMetrics bf(UiFont(9));
    const bool hasTitle = !m_title.isEmpty();
    const bool icon = hasTitle && m_icon;

    int w = 0;
    int h = 0;
    if (hasTitle) {
        w = (icon ? kIconSize + kIconGap : 0) + tf.horizontalAdvance(m_title);
        h = qMax(tf.height(), icon ? kIconSize : 0);
    }
    if (!m_text.isEmpty()) {
        const QRect tr = bf.boundingRect(QRect(0, 0, kMaxTextWidth, 10000), Qt::TextWordWrap, m_text);
        w = qMax(w, tr.width());
        h += (hasTitle ? kLineGap : 0) + tr.height();
    }
    w = qMax(w, 2 * kStemInset) + 2 * kMargin;
    h = qMax(h, 1) + 2 * kMargin;
    m_body = QRect(0, m_stemDown ? 0 : kStemHeight, w, h);
    m_stemX = qBound(kRadius + 2, m_stemX == 0 ? kStemInset : m_stemX, w - kRadius - 2);
    setFixedSize(w, h + kStemHeight);
    updateCut();
    update();
}

void BalloonTip::popUpAt(const QPoint &globalPoint)
{
    // A compositor may have stopped since the tip was made.
    m_cut = !testAttribute(Qt::WA_TranslucentBackground) || !PerPixelAlphaAvailable();
    m_stemDown = false;
    m_stemX = kStemInset;
    layoutBalloon();

    QPoint topLeft(globalPoint.x() - m_stemX, globalPoint.y() + kPointerGap);
    if (QScreen *screen = QGuiApplication::screenAt(globalPoint)) {
        const QRect avail = screen->availableGeometry();
        if (topLeft.y() + height() > avail.bottom() + 1) {
            // No room below the pointer: open upwards with the stem at the bottom.
            m_stemDown = true;
            topLeft.setY(globalPoint.y() - kPointerGap - height());
        }
        const int x = qBound(avail.left(), topLeft.x(), qMax(avail.left(), avail.right() + 1 - width()));
        m_stemX = globalPoint.x() - x;
        topLeft.setX(x);
        layoutBalloon();
    }
    move(topLeft);
    show();
    raise();
    update();
}

void BalloonTip::popDown()
{
    m_delay.stop();
    hide();
}

void BalloonTip::hoverAt(const QPoint &pos)
{
    m_lastPos = pos;
    if (!m_toolRect.contains(pos)) {
        leaveArea();
        return;
    }
    if (!m_pressed && !isVisible() && !m_delay.isActive())
        m_delay.start();
}

void BalloonTip::leaveArea()
{
    popDown();
    m_pressed = false;
}

void BalloonTip::delayElapsed()
{
    QWidget *c = m_control;
    if (!c || m_pressed || !c->isVisible() || !c->isEnabled() || !c->window()->isActiveWindow())
        return;
    if (!m_toolRect.contains(m_lastPos))
        return;
    popUpAt(c->mapToGlobal(m_lastPos));
}

bool BalloonTip::eventFilter(QObject *watched, QEvent *event)
{
    const bool onControl = watched == m_control;
    if (onControl || (m_itemArea && watched == m_itemArea)) {
        auto *area = static_cast<QWidget *>(watched);
        const auto inControl = [&](const QPointF &pos) { return area->mapTo(m_control, pos.toPoint()); };
        switch (event->type()) {
        case QEvent::Enter:
            hoverAt(inControl(static_cast<QEnterEvent *>(event)->position()));
            break;
        case QEvent::MouseMove:
            hoverAt(inControl(static_cast<QMouseEvent *>(event)->position()));
            break;
        case QEvent::Leave:
            // Off the item area onto the control's frame or scroll bar the
            // pointer is still on the control: hide, but a click still counts.
            if (onControl)
                leaveArea();
            else
                popDown();
            break;
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            // No tip again until the pointer has left the control.
            popDown();
            m_pressed = true;
            break;
        case QEvent::Wheel:
        case QEvent::Hide:
        case QEvent::EnabledChange:
            popDown();
            break;
        default:
            break;
        }
    } else if (event->type() == QEvent::WindowDeactivate || event->type() == QEvent::Hide) {
        popDown();
    }
    return false;
}

QPainterPath BalloonTip::shapePath() const
{
    const QRectF body = QRectF(m_body).adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath shape;
    shape.addRoundedRect(body, kRadius, kRadius);
    QPainterPath stem;
    const qreal sx = m_stemX;
    if (m_stemDown) {
        const qreal base = body.bottom() - 1;
        stem.moveTo(sx + 2, base);
        stem.lineTo(sx, height() - 0.5);
        stem.lineTo(sx + 2 + kStemWidth, base);
    } else {
        const qreal base = body.top() + 1;
        stem.moveTo(sx + 2, base);
        stem.lineTo(sx, 0.5);
        stem.lineTo(sx + 2 + kStemWidth, base);
    }
    stem.closeSubpath();
    return shape.united(stem).simplified();
}

void BalloonTip::paintBody(QPainter &p)
{
    if (!m_cut) {
        p.setPen(QPen(kBorder, 1.0));
        p.setBrush(BodyFill(height()));
        p.drawPath(shapePath());
        return;
    }
    // Cut to shape: the outline is the mask's own edge, one pixel wide, so
    // nothing outside the shape is drawn and nothing inside is left bare.
    const QRegion inside = mask();
    const QRegion core = inside & inside.translated(1, 0) & inside.translated(-1, 0) & inside.translated(0, 1)
                         & inside.translated(0, -1);
    for (const QRect &r : inside)
        p.fillRect(r, kBorder);
    const QBrush fill(BodyFill(height()));
    for (const QRect &r : core)
        p.fillRect(r, fill);
}

void BalloonTip::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    paintBody(p);

    const QFontMetrics tf(titleFont());
    int x = m_body.left() + kMargin;
    int y = m_body.top() + kMargin;
    if (!m_title.isEmpty()) {
        const int lineH = qMax(tf.height(), m_icon ? kIconSize : 0);
        int tx = x;
        if (m_icon) {
            drawInfoIcon(p, QRectF(x, y + (lineH - kIconSize) / 2.0, kIconSize, kIconSize));
            tx += kIconSize + kIconGap;
        }
        p.setPen(Qt::black);
        p.setFont(titleFont());
        p.drawText(QRect(tx, y, m_body.right() - tx, lineH), Qt::AlignLeft | Qt::AlignVCenter, m_title);
        y += lineH + kLineGap;
    }
    if (!m_text.isEmpty()) {
        p.setPen(Qt::black);
        p.setFont(UiFont(9));
        p.drawText(QRect(x, y, m_body.width() - 2 * kMargin, m_body.bottom() - y), Qt::TextWordWrap, m_text);
    }
}

// --- clsToolTip -----------------------------------------------------------

clsToolTip::~clsToolTip() = default;

void clsToolTip::setParentControl(QWidget *vData) { m_parent = vData; }

void clsToolTip::setToolTipTitle(const QString &vData)
{
    m_title = vData;
    if (m_tip)
        m_tip->setTitle(vData, false);
}

void clsToolTip::setToolTipText(const QString &vData)
{
    m_text = vData;
    if (m_tip) {
        m_tip->setText(vData);
        if (m_parent)
            m_parent->setAccessibleDescription(vData);
    }
}

bool clsToolTip::Create()
{
    // A second Create replaces the tip instead of adding one.
    delete m_tip.data();
    m_tip = nullptr;
    if (!m_parent)
        return false;
    auto *tip = new BalloonTip(m_parent, m_parent->rect());
    tip->setText(m_text);
    tip->setTitle(m_title, true);
    m_tip = tip;
    // What the balloon tells the mouse user, a screen reader tells as the
    // control's description.
    m_parent->setAccessibleDescription(m_text);
    return false;
}

} // namespace velmora
