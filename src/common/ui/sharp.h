// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Pictures drawn in code, at the device pixel ratio of the screen they show
// on: a window on a 2x screen gets a picture of twice the pixels, drawn in
// the same logical coordinates, so it stays sharp and keeps its layout size.
#include <QImage>
#include <QPixmap>
#include <QSize>

#include <functional>

class QWidget;

namespace velmora {

// A pixmap of `logical` size in device-independent pixels, holding
// logical x dpr device pixels. Its content is undefined until painted.
QPixmap CanvasPixmap(const QSize &logical, qreal dpr);
QImage CanvasImage(const QSize &logical, qreal dpr, QImage::Format format = QImage::Format_ARGB32_Premultiplied);

// The device pixel ratio `widget` paints at (its screen's; before it is
// shown, the screen it will open on).
qreal DeviceRatioOf(const QWidget *widget);

// One picture kept for the ratio it was last asked for, drawn again when a
// window moves to a screen of another ratio.
class SharpPixmap
{
public:
    using Draw = std::function<QPixmap(qreal dpr)>;
    SharpPixmap() = default;
    explicit SharpPixmap(Draw draw) : m_draw(std::move(draw)) {}

    const QPixmap &at(qreal dpr);
    const QPixmap &forWidget(const QWidget *widget) { return at(DeviceRatioOf(widget)); }

private:
    Draw m_draw;
    QPixmap m_picture;
};

} // namespace velmora
