#include "common/ui/tooltip.h"

#include "common/ui/uifont.h"

#include <QEnterEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>

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

} // namespace

BalloonTip::BalloonTip(QWidget *control, const QRect &toolRect)
    : QWidget(control, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowTransparentForInput),
      m_control(control), m_toolRect(toolRect)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setObjectName(QStringLiteral("balloonTip"));
    m_delay.setSingleShot(true);
    m_delay.setInterval(kShowDelay);
    connect(&m_delay, &QTimer::timeout, this, &BalloonTip::delayElapsed);
    // The tip follows the pointer over the control the way the platform tip
    // watches the control's mouse messages: moves without a button held
    // must reach us too.
    control->setMouseTracking(true);
    control->installEventFilter(this);
    if (QWidget *top = control->window(); top != control)
        top->installEventFilter(this);
    layoutBalloon();
}

BalloonTip::~BalloonTip() = default;

void BalloonTip::setTitle(const QString &title, bool withIcon)
{
    m_title = title;
    m_icon = withIcon;
    layoutBalloon();
}

void BalloonTip::setText(const QString &text)
{
    m_text = text;
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
    update();
}

void BalloonTip::popUpAt(const QPoint &globalPoint)
{
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
        popDown();
        return;
    }
    if (!isVisible() && !m_delay.isActive())
        m_delay.start();
}

void BalloonTip::delayElapsed()
{
    QWidget *c = m_control;
    if (!c || !c->isVisible() || !c->isEnabled() || !c->window()->isActiveWindow())
        return;
    if (!m_toolRect.contains(m_lastPos))
        return;
    popUpAt(c->mapToGlobal(m_lastPos));
}

bool BalloonTip::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_control) {
        switch (event->type()) {
        case QEvent::Enter:
            hoverAt(static_cast<QEnterEvent *>(event)->position().toPoint());
            break;
        case QEvent::MouseMove:
            hoverAt(static_cast<QMouseEvent *>(event)->position().toPoint());
            break;
        case QEvent::Leave:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
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

void BalloonTip::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);

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
    shape = shape.united(stem).simplified();

    QLinearGradient fill(0, 0, 0, height());
    fill.setColorAt(0.0, QColor(0xff, 0xff, 0xf0));
    fill.setColorAt(1.0, QColor(0xff, 0xf8, 0xd6));
    p.setPen(QPen(QColor(0x76, 0x76, 0x76), 1.0));
    p.setBrush(fill);
    p.drawPath(shape);

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
    if (m_tip)
        m_tip->setText(vData);
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
    return false;
}

} // namespace velmora
