// SPDX-FileCopyrightText: 2026 Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/ui/focusstyle.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QPainter>
#include <QStyleOption>

#include <cmath>

namespace velmora {

namespace {

bool HasFocus(const QStyleOption *option, const QWidget *widget)
{
    if (widget)
        return widget->hasFocus();
    return option && (option->state & QStyle::State_HasFocus);
}

// A rectangle in device pixels, back in the painter's logical units: lines
// drawn along it cover whole device pixels instead of blurring or vanishing
// between two of them at scale 1.5.
QRectF DeviceAligned(const QRect &rect, qreal dpr)
{
    const qreal left = std::ceil(rect.left() * dpr) / dpr;
    const qreal top = std::ceil(rect.top() * dpr) / dpr;
    const qreal right = std::floor((rect.right() + 1) * dpr) / dpr;
    const qreal bottom = std::floor((rect.bottom() + 1) * dpr) / dpr;
    return QRectF(QPointF(left, top), QPointF(right, bottom));
}

// Fills a frame of `width` device pixels just inside `outer`.
void FillFrame(QPainter &p, const QRectF &outer, qreal width, const QColor &color)
{
    p.fillRect(QRectF(outer.left(), outer.top(), outer.width(), width), color);
    p.fillRect(QRectF(outer.left(), outer.bottom() - width, outer.width(), width), color);
    p.fillRect(QRectF(outer.left(), outer.top(), width, outer.height()), color);
    p.fillRect(QRectF(outer.right() - width, outer.top(), width, outer.height()), color);
}

bool IsItemView(const QWidget *widget)
{
    return qobject_cast<const QAbstractItemView *>(widget) != nullptr;
}

} // namespace

void DrawFocusRing(QPainter &painter, const QRect &rect, const QWidget *widget)
{
    const qreal dpr = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const qreal px = 1.0 / dpr;
    const qreal ring = std::max(2.0, std::round(2.0 * dpr)) * px;
    const QRectF outer = DeviceAligned(rect, dpr);
    const QColor colour = widget ? widget->palette().color(QPalette::Active, QPalette::Highlight) : QColor(48, 140, 198);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    FillFrame(painter, outer, ring, colour);
    FillFrame(painter, outer.adjusted(ring, ring, -ring, -ring), px, Qt::white);
    painter.restore();
}

void FocusStyle::drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                               const QWidget *widget) const
{
    if (element == PE_Frame && IsItemView(widget)) {
        // Drawn here in whole device pixels: the platform's one-pixel line
        // lies under the view's contents at scale 1.5 and its right and
        // bottom edges disappear.
        const qreal dpr = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing, false);
        FillFrame(*painter, DeviceAligned(option->rect, dpr), 1.0 / dpr, option->palette.color(QPalette::Dark));
        painter->restore();
        if (HasFocus(option, widget))
            DrawFocusRing(*painter, option->rect, widget);
        return;
    }
    QProxyStyle::drawPrimitive(element, option, painter, widget);
    if (element == PE_PanelLineEdit && HasFocus(option, widget))
        DrawFocusRing(*painter, option->rect, widget);
}

void FocusStyle::drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                             const QWidget *widget) const
{
    if (element == CE_PushButton) {
        if (const auto *button = qstyleoption_cast<const QStyleOptionButton *>(option)) {
            // Enter still presses the default button; it just does not look focused.
            QStyleOptionButton plain = *button;
            plain.features &= ~QStyleOptionButton::DefaultButton;
            QProxyStyle::drawControl(element, &plain, painter, widget);
            if (HasFocus(option, widget))
                DrawFocusRing(*painter, option->rect, widget);
            return;
        }
    }
    QProxyStyle::drawControl(element, option, painter, widget);
    if ((element == CE_CheckBox || element == CE_RadioButton) && HasFocus(option, widget))
        DrawFocusRing(*painter, option->rect, widget);
    // A tab bar marks only its current tab as focused.
    if (element == CE_TabBarTab && (option->state & State_HasFocus))
        DrawFocusRing(*painter, option->rect.adjusted(2, 2, -2, 0), widget);
}

void FocusStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex *option, QPainter *painter,
                                    const QWidget *widget) const
{
    QProxyStyle::drawComplexControl(control, option, painter, widget);
    if ((control == CC_ComboBox || control == CC_SpinBox) && HasFocus(option, widget))
        DrawFocusRing(*painter, option->rect, widget);
}

int FocusStyle::pixelMetric(PixelMetric metric, const QStyleOption *option, const QWidget *widget) const
{
    // Room for the focus ring around a tree or list, outside its contents.
    if (metric == PM_DefaultFrameWidth && IsItemView(widget))
        return 2;
    return QProxyStyle::pixelMetric(metric, option, widget);
}

void InstallFocusStyle()
{
    if (qobject_cast<FocusStyle *>(QApplication::style()))
        return;
    QApplication::setStyle(new FocusStyle(QApplication::style()->name()));
}

} // namespace velmora
