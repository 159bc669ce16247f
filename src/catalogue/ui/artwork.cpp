// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "catalogue/ui/artwork.h"

#include "common/core/globals.h"
#include "common/ui/sharp.h"
#include "common/ui/uifont.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace velmora {

static QPixmap DiscIcon(qreal dpr)
{
    QPixmap pm = CanvasPixmap(QSize(16, 16), dpr);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient g(QPointF(6, 6), 9);
    g.setColorAt(0, QColor(250, 250, 255));
    g.setColorAt(1, QColor(120, 150, 210));
    p.setPen(QPen(QColor(50, 70, 130), 1));
    p.setBrush(g);
    p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
    p.setBrush(QColor(50, 70, 130));
    p.drawEllipse(QRectF(6.5, 6.5, 3, 3));
    // a small note in the corner
    p.setPen(QPen(QColor(200, 40, 60), 1.4));
    p.drawLine(QPointF(12.5, 3), QPointF(12.5, 9));
    p.setBrush(QColor(200, 40, 60));
    p.drawEllipse(QRectF(10, 8.5, 3, 2.5));
    return pm;
}

static QPixmap FolderIcon(qreal dpr)
{
    QPixmap pm = CanvasPixmap(QSize(16, 16), dpr);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(150, 110, 20), 1));
    p.setBrush(QColor(240, 200, 90));
    QPainterPath tab;
    tab.moveTo(1.5, 4.5);
    tab.lineTo(6, 4.5);
    tab.lineTo(7.5, 3);
    tab.lineTo(1.5, 3);
    tab.closeSubpath();
    p.drawPath(tab);
    QLinearGradient g(0, 4, 0, 14);
    g.setColorAt(0, QColor(255, 225, 120));
    g.setColorAt(1, QColor(230, 180, 60));
    p.setBrush(g);
    p.drawRoundedRect(QRectF(1.5, 4.5, 13, 9.5), 1.5, 1.5);
    return pm;
}

QIcon TreeIcon(int image)
{
    // Drawn for plain and for double-density screens; other ratios take the
    // nearer one, scaled.
    static const QIcon disc = [] {
        QIcon icon(DiscIcon(1.0));
        icon.addPixmap(DiscIcon(2.0));
        return icon;
    }();
    static const QIcon folder = [] {
        QIcon icon(FolderIcon(1.0));
        icon.addPixmap(FolderIcon(2.0));
        return icon;
    }();
    return image == 2 ? folder : disc;
}

static void DrawBanner(QPainter &p, const QSize &size, const QColor &ink, const QString &subtitle)
{
    p.setPen(ink);
    QFont f = UiFont(20);
    f.setBold(true);
    p.setFont(f);
    p.drawText(QRect(20, 10, size.width() - 40, 36), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Velmora"));
    p.setFont(UiFont(9));
    p.drawText(QRect(22, 42, size.width() - 40, 18), Qt::AlignLeft | Qt::AlignVCenter, subtitle);
}

QPixmap AnimeBackground(const QSize &size, qreal dpr)
{
    QPixmap pm = CanvasPixmap(size, dpr);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, size.height());
    sky.setColorAt(0, QColor(255, 214, 226));
    sky.setColorAt(0.55, QColor(255, 240, 230));
    sky.setColorAt(1, QColor(235, 225, 250));
    p.fillRect(QRect(QPoint(0, 0), size), sky);
    // falling petals
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 28; ++i) {
        const qreal x = (i * 97) % size.width();
        const qreal y = (i * 53 + 17) % size.height();
        p.save();
        p.translate(x, y);
        p.rotate(i * 37);
        p.setBrush(QColor(255, 160 + (i * 7) % 60, 190, 140));
        p.drawEllipse(QRectF(-5, -2.5, 10, 5));
        p.restore();
    }
    DrawBanner(p, size, QColor(150, 40, 80), kAnimeKindName);
    return pm;
}

QPixmap MusicBackground(const QSize &size, qreal dpr)
{
    QPixmap pm = CanvasPixmap(size, dpr);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, size.width(), size.height());
    g.setColorAt(0, QColor(214, 232, 255));
    g.setColorAt(1, QColor(236, 226, 255));
    p.fillRect(QRect(QPoint(0, 0), size), g);
    // a staff with a few notes across the top
    p.setPen(QPen(QColor(110, 130, 190, 120), 1));
    for (int i = 0; i < 5; ++i)
        p.drawLine(QPointF(200, 14 + i * 8), QPointF(size.width() - 20, 14 + i * 8));
    p.setBrush(QColor(80, 100, 170, 150));
    for (int i = 0; i < 9; ++i) {
        const qreal x = 240 + i * 55;
        const qreal y = 18 + (i * 13) % 30;
        p.drawEllipse(QRectF(x, y, 9, 7));
        p.drawLine(QPointF(x + 9, y + 3), QPointF(x + 9, y - 18));
    }
    DrawBanner(p, size, QColor(40, 60, 130), kMusicKindName);
    return pm;
}

} // namespace velmora
