// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/ui/art.h"

#include "common/core/globals.h"
#include "common/ui/sharp.h"
#include "common/ui/uifont.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QRadialGradient>

#include <functional>

namespace velmora::art {

namespace {

QFont font(qreal pt, bool bold = false, bool italic = false)
{
    QFont f = UiFont(pt);
    f.setBold(bold);
    f.setItalic(italic);
    f.setStyleStrategy(QFont::PreferAntialias);
    return f;
}

// Small fixed star field (the same every run).
void drawStars(QPainter &p, const QRect &area, int count, quint32 seed)
{
    quint32 s = seed;
    auto next = [&s] { s = s * 1103515245u + 12345u; return (s >> 8) & 0xffff; };
    p.save();
    p.setPen(Qt::NoPen);
    for (int i = 0; i < count; ++i) {
        const qreal x = area.left() + next() % area.width();
        const qreal y = area.top() + next() % area.height();
        const qreal r = 0.5 + (next() % 100) / 80.0;
        p.setBrush(QColor(255, 255, 255, 90 + int(next() % 150)));
        p.drawEllipse(QPointF(x, y), r, r);
    }
    p.restore();
}

void drawNote(QPainter &p, const QPointF &at, qreal scale, const QColor &c)
{
    p.save();
    p.translate(at);
    p.scale(scale, scale);
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.save();
    p.translate(4, 20);
    p.rotate(-20);
    p.drawEllipse(QRectF(-4.5, -3.2, 9, 6.4));
    p.restore();
    p.save();
    p.translate(20, 16);
    p.rotate(-20);
    p.drawEllipse(QRectF(-4.5, -3.2, 9, 6.4));
    p.restore();
    p.drawRect(QRectF(7.2, 2, 1.8, 17));
    p.drawRect(QRectF(23.2, -2, 1.8, 17));
    QPainterPath beam;
    beam.moveTo(7.2, 2);
    beam.lineTo(25, -2);
    beam.lineTo(25, 2.5);
    beam.lineTo(7.2, 6.5);
    beam.closeSubpath();
    p.drawPath(beam);
    p.restore();
}

// The maker's mark: a quill leaning into a ring.
void drawQuillMark(QPainter &p, const QRectF &r, const QColor &c)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(c, r.width() * 0.07));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(r.adjusted(r.width() * 0.08, r.height() * 0.08, -r.width() * 0.08, -r.height() * 0.08));
    QPainterPath quill;
    const qreal w = r.width(), h = r.height();
    quill.moveTo(r.left() + w * 0.28, r.top() + h * 0.82);
    quill.cubicTo(r.left() + w * 0.35, r.top() + h * 0.45, r.left() + w * 0.55, r.top() + h * 0.2,
                  r.left() + w * 0.86, r.top() + h * 0.1);
    quill.cubicTo(r.left() + w * 0.78, r.top() + h * 0.4, r.left() + w * 0.58, r.top() + h * 0.62,
                  r.left() + w * 0.28, r.top() + h * 0.82);
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawPath(quill);
    p.restore();
}

} // namespace

QPixmap SplashImage(qreal dpr)
{
    QPixmap pm = CanvasPixmap(QSize(450, 300), dpr);
    pm.fill(Qt::white);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    QPainterPath sky;
    sky.moveTo(0, 0);
    sky.lineTo(450, 0);
    sky.lineTo(450, 222);
    sky.cubicTo(330, 262, 150, 196, 0, 238);
    sky.closeSubpath();
    QLinearGradient g(0, 0, 450, 240);
    g.setColorAt(0.0, QColor(0x17, 0x24, 0x5e));
    g.setColorAt(0.6, QColor(0x4a, 0x2f, 0x86));
    g.setColorAt(1.0, QColor(0x9a, 0x3f, 0x91));
    p.fillPath(sky, g);
    p.save();
    p.setClipPath(sky);
    drawStars(p, QRect(0, 0, 450, 220), 70, 7u);
    QRadialGradient moon(QPointF(372, 76), 52);
    moon.setColorAt(0.0, QColor(0xff, 0xf6, 0xd8));
    moon.setColorAt(0.75, QColor(0xff, 0xe3, 0x9a));
    moon.setColorAt(1.0, QColor(0xff, 0xe3, 0x9a, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(moon);
    p.drawEllipse(QPointF(372, 76), 52, 52);
    p.setBrush(QColor(0x3b, 0x2c, 0x7c, 235));
    p.drawEllipse(QPointF(392, 62), 36, 36);
    drawNote(p, QPointF(300, 132), 1.1, QColor(255, 255, 255, 170));
    drawNote(p, QPointF(402, 150), 0.8, QColor(255, 220, 240, 150));
    p.restore();

    // A pink ribbon along the edge of the sky.
    QPainterPath edge;
    edge.moveTo(0, 238);
    edge.cubicTo(150, 196, 330, 262, 450, 222);
    p.setPen(QPen(QColor(0xf0, 0x7a, 0xb5), 3));
    p.setBrush(Qt::NoBrush);
    p.drawPath(edge);
    p.setPen(QPen(QColor(0xf9, 0xc4, 0xde), 1.5));
    p.translate(0, 5);
    p.drawPath(edge);
    p.resetTransform();

    p.setPen(Qt::white);
    p.setFont(font(34, true, true));
    p.drawText(QRect(30, 48, 300, 64), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Velmora"));
    p.setFont(font(13));
    p.setPen(QColor(0xe4, 0xe0, 0xff));
    p.drawText(QRect(34, 112, 320, 28), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("动漫资源下载助手"));
    p.setFont(font(9));
    p.setPen(QColor(0xc9, 0xc0, 0xee));
    p.drawText(QRect(34, 142, 320, 20), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("动画下载 · 动漫音乐 · Internet 搜索"));
    p.setFont(font(8));
    p.setPen(QColor(0xff, 0xff, 0xff, 200));
    p.drawText(QRect(34, 170, 200, 18), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("版本 1.13"));

    p.setPen(QColor(0xa4, 0xa4, 0xb0));
    p.setFont(font(8));
    p.drawText(QRect(200, 276, 235, 16), Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("© Quillon"));
    drawQuillMark(p, QRectF(246 + 120, 277, 14, 14), QColor(0xb8, 0xb8, 0xc4));
    p.end();
    return pm;
}

QPixmap ChooserBackground(qreal dpr)
{
    QPixmap pm = CanvasPixmap(QSize(481, 357), dpr);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    QLinearGradient g(0, 0, 0, 357);
    g.setColorAt(0.0, QColor(0x19, 0x24, 0x54));
    g.setColorAt(1.0, QColor(0x40, 0x25, 0x6c));
    p.fillRect(QRect(0, 0, 481, 357), g);
    drawStars(p, QRect(0, 24, 481, 300), 55, 31u);

    // Two soft ribbons across the window.
    QPainterPath ribbon;
    ribbon.moveTo(0, 300);
    ribbon.cubicTo(140, 230, 300, 330, 481, 205);
    ribbon.lineTo(481, 245);
    ribbon.cubicTo(300, 360, 150, 270, 0, 335);
    ribbon.closeSubpath();
    p.fillPath(ribbon, QColor(255, 255, 255, 18));
    QPainterPath ribbon2;
    ribbon2.moveTo(0, 110);
    ribbon2.cubicTo(160, 70, 320, 150, 481, 95);
    ribbon2.lineTo(481, 112);
    ribbon2.cubicTo(320, 170, 160, 90, 0, 130);
    ribbon2.closeSubpath();
    p.fillPath(ribbon2, QColor(255, 255, 255, 12));

    // Top and bottom bands for the credit and the notice.
    p.fillRect(QRect(0, 0, 481, 22), QColor(0x0c, 0x11, 0x2e, 220));
    p.fillRect(QRect(0, 333, 481, 24), QColor(0x0c, 0x11, 0x2e, 200));
    p.setPen(QColor(0x6c, 0x5c, 0xc4));
    p.drawLine(0, 22, 481, 22);
    p.drawLine(0, 333, 481, 333);

    p.setPen(Qt::white);
    p.setFont(font(22, true, true));
    p.drawText(QRect(18, 28, 260, 44), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Velmora"));
    p.setFont(font(9));
    p.setPen(QColor(0xc9, 0xd0, 0xff));
    p.drawText(QRect(20, 70, 300, 18), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("请选择您希望浏览的资源分类:"));

    auto heading = [&p](const QRect &r, const QString &title, const QString &sub, const QRect &subRect) {
        p.setFont(font(12, true));
        p.setPen(QColor(0x0a, 0x0c, 0x20, 160));
        p.drawText(r.translated(1, 1), Qt::AlignCenter, title);
        p.setPen(QColor(0xff, 0xd4, 0x7e));
        p.drawText(r, Qt::AlignCenter, title);
        p.setFont(font(8));
        p.setPen(QColor(0xd8, 0xd4, 0xf4));
        p.drawText(subRect, Qt::AlignCenter, sub);
    };
    heading(QRect(199, 86, 122, 24), kAnimeKindName, QStringLiteral("TV 版 · OVA 版 · 剧场版"),
            QRect(185, 250, 150, 16));
    heading(QRect(64, 128, 122, 24), kMusicKindName, QStringLiteral("歌曲 · 单曲集 · 原声集"),
            QRect(50, 280, 150, 16));

    // The partner's title.
    const QRectF partner(321, 161, 151, 23);
    p.setPen(QPen(QColor(0x9f, 0x8c, 0xf0), 1));
    p.setBrush(QColor(255, 255, 255, 26));
    p.drawRoundedRect(partner, 11, 11);
    p.setPen(QColor(0xee, 0xea, 0xff));
    p.setFont(font(8.5));
    p.drawText(partner, Qt::AlignCenter, QStringLiteral("合作伙伴: 星桥动漫社区"));

    // The maker's logo.
    const QRect logo(312, 256, 169, 77);
    drawQuillMark(p, QRectF(logo.left() + 10, logo.top() + 16, 40, 40), QColor(0xff, 0xd4, 0x7e));
    p.setPen(QColor(0xb8, 0xb4, 0xdc));
    p.setFont(font(7.5));
    p.drawText(QRect(logo.left() + 56, logo.top() + 12, 110, 14), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Powered by"));
    p.setPen(Qt::white);
    p.setFont(font(17, true));
    p.drawText(QRect(logo.left() + 54, logo.top() + 24, 115, 30), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Quillon"));
    p.setPen(QColor(0xb8, 0xb4, 0xdc));
    p.setFont(font(7.5));
    p.drawText(QRect(logo.left() + 56, logo.top() + 52, 110, 14), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("quillon.example"));
    p.end();
    return pm;
}

namespace {

QPixmap buttonFace(const QPixmap &background, const QRect &where, int state,
                   const std::function<void(QPainter &, const QRectF &)> &drawContent, const QString &caption)
{
    const qreal dpr = background.devicePixelRatio();
    QPixmap pm = background.copy(QRectF(QPointF(where.topLeft()) * dpr, QSizeF(where.size()) * dpr).toAlignedRect());
    pm.setDevicePixelRatio(dpr);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const QRectF card = QRectF(QPointF(0, 0), QSizeF(where.size())).adjusted(3.5, 3.5, -3.5, -3.5);
    const qreal shift = state == 2 ? 1.5 : 0.0;

    if (state == 1) {
        // A soft glow around the card.
        for (int i = 3; i >= 1; --i) {
            p.setPen(QPen(QColor(0xff, 0xd4, 0x7e, 30 * (4 - i)), i * 2));
            p.setBrush(Qt::NoBrush);
            p.drawRoundedRect(card, 10, 10);
        }
    }
    QLinearGradient fill(card.topLeft(), card.bottomLeft());
    switch (state) {
    case 0:
        fill.setColorAt(0, QColor(255, 255, 255, 46));
        fill.setColorAt(1, QColor(255, 255, 255, 14));
        p.setPen(QPen(QColor(255, 255, 255, 90), 1));
        break;
    case 1:
        fill.setColorAt(0, QColor(255, 255, 255, 88));
        fill.setColorAt(1, QColor(255, 255, 255, 34));
        p.setPen(QPen(QColor(0xff, 0xd4, 0x7e), 2));
        break;
    default:
        fill.setColorAt(0, QColor(10, 8, 30, 110));
        fill.setColorAt(1, QColor(10, 8, 30, 60));
        p.setPen(QPen(QColor(0xff, 0xb0, 0x4a), 2));
        break;
    }
    p.setBrush(fill);
    p.drawRoundedRect(card, 10, 10);

    p.save();
    p.translate(shift, shift);
    const QRectF content(card.left() + 8, card.top() + 10, card.width() - 16, card.height() - 40);
    drawContent(p, content);
    p.setFont(font(8, true));
    p.setPen(state == 0 ? QColor(0xe8, 0xe4, 0xff) : QColor(0xff, 0xe4, 0xa8));
    p.drawText(QRectF(card.left(), card.bottom() - 28, card.width(), 20), Qt::AlignCenter, caption);
    p.restore();
    p.end();
    return pm;
}

} // namespace

QPixmap AnimeButtonImage(const QPixmap &background, const QRect &where, int state)
{
    return buttonFace(background, where, state, [state](QPainter &p, const QRectF &r) {
        // A television with a play mark and a strip of film below it.
        const QColor ink = state == 0 ? QColor(0xf4, 0xf2, 0xff) : QColor(0xff, 0xe9, 0xb8);
        const QRectF tv(r.left() + 6, r.top() + 22, r.width() - 12, r.height() * 0.46);
        p.setPen(QPen(ink, 2.2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(tv.center().x(), tv.top()), QPointF(tv.center().x() - 14, tv.top() - 16));
        p.drawLine(QPointF(tv.center().x(), tv.top()), QPointF(tv.center().x() + 12, tv.top() - 18));
        p.setBrush(QColor(0x20, 0x1a, 0x4a, 200));
        p.drawRoundedRect(tv, 6, 6);
        QPainterPath play;
        const QPointF c = tv.center();
        play.moveTo(c.x() - 8, c.y() - 11);
        play.lineTo(c.x() + 12, c.y());
        play.lineTo(c.x() - 8, c.y() + 11);
        play.closeSubpath();
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0xff, 0x8a, 0xc4));
        p.drawPath(play);
        const QRectF film(r.left() + 2, tv.bottom() + 8, r.width() - 4, 14);
        p.setBrush(ink);
        p.drawRoundedRect(film, 2, 2);
        p.setBrush(QColor(0x2a, 0x22, 0x5a));
        for (qreal x = film.left() + 4; x + 5 < film.right(); x += 9)
            p.drawRect(QRectF(x, film.top() + 4, 5, 6));
    }, QStringLiteral("ANIME"));
}

QPixmap MusicButtonImage(const QPixmap &background, const QRect &where, int state)
{
    return buttonFace(background, where, state, [state](QPainter &p, const QRectF &r) {
        // Headphones around a pair of notes.
        const QColor ink = state == 0 ? QColor(0xf4, 0xf2, 0xff) : QColor(0xff, 0xe9, 0xb8);
        const QPointF c(r.center().x(), r.top() + r.height() * 0.52);
        const qreal rad = r.width() * 0.36;
        p.setPen(QPen(ink, 4, Qt::SolidLine, Qt::RoundCap));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(c.x() - rad, c.y() - rad, 2 * rad, 2 * rad), 20 * 16, 140 * 16);
        p.setPen(Qt::NoPen);
        p.setBrush(ink);
        p.drawRoundedRect(QRectF(c.x() - rad - 5, c.y() - 8, 11, 22), 4, 4);
        p.drawRoundedRect(QRectF(c.x() + rad - 6, c.y() - 8, 11, 22), 4, 4);
        drawNote(p, QPointF(c.x() - 13, c.y() - 14), 1.0, QColor(0xff, 0x8a, 0xc4));
    }, QStringLiteral("MUSIC"));
}

QPixmap HandCursorImage()
{
    QPixmap pm(32, 32);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath hand;
    hand.setFillRule(Qt::WindingFill);
    hand.addRoundedRect(QRectF(9, 1, 5, 18), 2.5, 2.5);     // index finger
    hand.addRoundedRect(QRectF(13.5, 9, 4.5, 11), 2.2, 2.2); // middle
    hand.addRoundedRect(QRectF(17.5, 10, 4.5, 10), 2.2, 2.2);
    hand.addRoundedRect(QRectF(21.5, 11.5, 4.5, 9), 2.2, 2.2);
    hand.addRoundedRect(QRectF(9, 15, 17, 11), 3.5, 3.5);   // palm
    QPainterPath thumbLine;
    thumbLine.moveTo(4.5, 14.5);
    thumbLine.lineTo(10.5, 21.5);
    QPainterPathStroker st;
    st.setWidth(4.6);
    st.setCapStyle(Qt::RoundCap);
    hand.addPath(st.createStroke(thumbLine));
    hand.addRect(QRectF(11, 25, 13, 5));                      // cuff
    hand = hand.simplified();
    p.setPen(QPen(Qt::black, 1.1));
    p.setBrush(Qt::white);
    p.drawPath(hand);
    p.setPen(QPen(QColor(0x40, 0x40, 0x40), 0.8));
    p.drawLine(QPointF(13.7, 15), QPointF(13.7, 19));
    p.drawLine(QPointF(17.8, 15.5), QPointF(17.8, 19.5));
    p.drawLine(QPointF(21.8, 16), QPointF(21.8, 20));
    p.end();
    return pm;
}

QCursor HandCursor()
{
    return QCursor(HandCursorImage(), 11, 1);
}

QPixmap AppIconImage(int size)
{
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);
    QLinearGradient g(0, 0, 64, 64);
    g.setColorAt(0.0, QColor(0x3a, 0x5b, 0xd9));
    g.setColorAt(1.0, QColor(0x9b, 0x3f, 0xc4));
    p.setPen(QPen(QColor(0x1e, 0x22, 0x6a), 1.5));
    p.setBrush(g);
    p.drawRoundedRect(QRectF(3, 3, 58, 58), 13, 13);
    // A "V" whose point turns into a download arrow.
    QPainterPath v;
    v.moveTo(14, 13);
    v.lineTo(23, 13);
    v.lineTo(32, 36);
    v.lineTo(41, 13);
    v.lineTo(50, 13);
    v.lineTo(36, 46);
    v.lineTo(28, 46);
    v.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawPath(v);
    p.setBrush(QColor(0xff, 0xd4, 0x7e));
    p.drawRoundedRect(QRectF(18, 50, 28, 5), 2.5, 2.5);
    p.end();
    return pm;
}

QIcon AppIcon()
{
    QIcon icon;
    for (int s : {16, 24, 32, 48, 64, 128, 256})
        icon.addPixmap(AppIconImage(s));
    return icon;
}

} // namespace velmora::art
