// SPDX-FileCopyrightText: 2026 Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Keyboard focus that can be seen: the platform style draws focus faintly or
// not at all on some controls (a closed choice box, a button on a picture),
// and marks the default button with a frame that reads as a second focus.
// FocusStyle keeps the platform's look and adds one clear ring to the
// control that has the focus; the default button looks like any other.
#include <QProxyStyle>

class QPainter;
class QRect;
class QWidget;

namespace velmora {

// The ring every focused control shows: two pixels in the selection colour
// with a one-pixel light inner edge, drawn inside `rect` in whole device
// pixels so that it shows at every scale.
void DrawFocusRing(QPainter &painter, const QRect &rect, const QWidget *widget);

class FocusStyle : public QProxyStyle
{
    Q_OBJECT
public:
    using QProxyStyle::QProxyStyle;

    void drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                       const QWidget *widget = nullptr) const override;
    void drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                     const QWidget *widget = nullptr) const override;
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex *option, QPainter *painter,
                            const QWidget *widget = nullptr) const override;
    int pixelMetric(PixelMetric metric, const QStyleOption *option = nullptr,
                    const QWidget *widget = nullptr) const override;
};

// Puts FocusStyle over the application's current style (once).
void InstallFocusStyle();

} // namespace velmora
