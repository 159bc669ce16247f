// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "common/ui/sharp.h"

#include <QGuiApplication>
#include <QWidget>

#include <cmath>

namespace velmora {

QPixmap CanvasPixmap(const QSize &logical, qreal dpr)
{
    QPixmap pm(QSize(int(std::ceil(logical.width() * dpr)), int(std::ceil(logical.height() * dpr))));
    pm.setDevicePixelRatio(dpr);
    return pm;
}

QImage CanvasImage(const QSize &logical, qreal dpr, QImage::Format format)
{
    QImage img(QSize(int(std::ceil(logical.width() * dpr)), int(std::ceil(logical.height() * dpr))), format);
    img.setDevicePixelRatio(dpr);
    return img;
}

qreal DeviceRatioOf(const QWidget *widget)
{
    if (widget)
        return widget->devicePixelRatioF();
    return qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
}

const QPixmap &SharpPixmap::at(qreal dpr)
{
    if (m_draw && (m_picture.isNull() || !qFuzzyCompare(m_picture.devicePixelRatio(), dpr)))
        m_picture = m_draw(dpr);
    return m_picture;
}

} // namespace velmora
