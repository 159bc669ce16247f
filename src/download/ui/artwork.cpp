// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "download/ui/artwork.h"

#include "common/ui/sharp.h"
#include "common/ui/uifont.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace velmora {

namespace {

void DrawWarningTriangle(QPainter &p, const QRectF &r)
{
    QPainterPath tri;
    tri.moveTo(r.center().x(), r.top());
    tri.lineTo(r.right(), r.bottom());
    tri.lineTo(r.left(), r.bottom());
    tri.closeSubpath();
    QLinearGradient fill(r.topLeft(), r.bottomLeft());
    fill.setColorAt(0, QColor(0xff, 0xe8, 0x6a));
    fill.setColorAt(1, QColor(0xf5, 0xb3, 0x00));
    p.setPen(QPen(QColor(0x8a, 0x5a, 0x00), 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(fill);
    p.drawPath(tri);

    // The exclamation mark: a tapered stroke and a dot.
    const qreal cx = r.center().x();
    const qreal h = r.height();
    QPainterPath bar;
    bar.moveTo(cx - h * 0.075, r.top() + h * 0.32);
    bar.lineTo(cx + h * 0.075, r.top() + h * 0.32);
    bar.lineTo(cx + h * 0.04, r.top() + h * 0.70);
    bar.lineTo(cx - h * 0.04, r.top() + h * 0.70);
    bar.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x30, 0x22, 0x00));
    p.drawPath(bar);
    p.drawEllipse(QPointF(cx, r.top() + h * 0.83), h * 0.065, h * 0.065);
}

} // namespace

QPixmap AlertIconPicture(qreal dpr)
{
    QPixmap pm = CanvasPixmap(QSize(41, 34), dpr);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    DrawWarningTriangle(p, QRectF(2.0, 1.5, 37.0, 31.0));
    return pm;
}

QPixmap AlertBannerPicture(qreal dpr)
{
    QPixmap pm = CanvasPixmap(QSize(450, 61), dpr);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);

    QLinearGradient sky(0, 0, 450, 0);
    sky.setColorAt(0.0, Qt::white);
    sky.setColorAt(0.55, QColor(0xea, 0xf3, 0xfd));
    sky.setColorAt(1.0, QColor(0x9c, 0xc6, 0xf0));
    p.fillRect(QRect(0, 0, 450, 61), sky);

    // Soft arcs on the right, behind the emblem.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 90));
    p.drawEllipse(QPointF(420, 70), 95, 60);
    p.setBrush(QColor(255, 255, 255, 60));
    p.drawEllipse(QPointF(330, -40), 80, 60);

    // Emblem: a disc with a downward arrow, a warning badge at its corner.
    const QPointF c(402, 30);
    QRadialGradient disc(c - QPointF(6, 6), 26);
    disc.setColorAt(0, QColor(0x6f, 0xb4, 0xf5));
    disc.setColorAt(1, QColor(0x1b, 0x5f, 0xae));
    p.setBrush(disc);
    p.setPen(QPen(Qt::white, 2));
    p.drawEllipse(c, 21, 21);
    QPainterPath arrow;
    arrow.moveTo(c.x() - 5, c.y() - 13);
    arrow.lineTo(c.x() + 5, c.y() - 13);
    arrow.lineTo(c.x() + 5, c.y() + 1);
    arrow.lineTo(c.x() + 12, c.y() + 1);
    arrow.lineTo(c.x(), c.y() + 13);
    arrow.lineTo(c.x() - 12, c.y() + 1);
    arrow.lineTo(c.x() - 5, c.y() + 1);
    arrow.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawPath(arrow);
    DrawWarningTriangle(p, QRectF(416, 33, 24, 21));

    // The product name.
    QFont f = UiFont(15);
    f.setBold(true);
    p.setFont(f);
    p.setPen(QColor(0x12, 0x3f, 0x78));
    p.drawText(QRectF(18, 0, 300, 61), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Velmora"));

    // A thin edge where the banner meets the white window.
    p.setPen(QColor(0x7a, 0xa7, 0xd8));
    p.drawLine(0, 60, 449, 60);
    return pm;
}

} // namespace velmora
