// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// clsToolTip: one balloon tooltip (title line, information icon, text) over the
// whole client area of one control. Callers set ParentControl, ToolTipTitle,
// ToolTipText, then call Create, in that order.
//
// The balloon itself is a BalloonTip: a small frameless tool window owned by
// the control, so it lives as long as the control does, however long the
// clsToolTip object that made it lives. Title and text are shown literally:
// an "&" in a title is drawn as "&" (a tip has no access keys to underline).
//
// The balloon watches the area the user actually points at: the control
// itself and, for a scrolling control such as the tree, its item area.
// Where windows can be see-through (a compositing desktop) the balloon has
// smooth edges; elsewhere its window is cut to the balloon's shape.
#include <QPainterPath>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QTimer>
#include <QWidget>

namespace velmora {

class BalloonTip : public QWidget
{
    Q_OBJECT
public:
    // Hover delay before the balloon shows, in milliseconds.
    static constexpr int kShowDelay = 500;

    // Owned by `control`; watches its mouse events. `toolRect` is the area of
    // the control (its own coordinates) that shows the tip.
    BalloonTip(QWidget *control, const QRect &toolRect);
    ~BalloonTip() override;

    void setTitle(const QString &title, bool withIcon);
    void setText(const QString &text);
    QString title() const { return m_title; }
    QString text() const { return m_text; }
    bool hasIcon() const { return m_icon; }
    QRect toolRect() const { return m_toolRect; }
    QWidget *control() const { return m_control; }
    // True while a hover is waiting for the show delay.
    bool hoverPending() const { return m_delay.isActive(); }

    // Shows the balloon with its pointer at `globalPoint`.
    void popUpAt(const QPoint &globalPoint);
    void popDown();

    // The outline of the balloon (body and stem) in its own coordinates.
    QPainterPath shapePath() const;
    // True when the window is cut to the balloon's shape (no see-through windows).
    bool isCutToShape() const { return m_cut; }

    // Whether this desktop shows see-through windows (a compositing manager
    // runs). Without one, transparent parts of a window show up black.
    static bool PerPixelAlphaAvailable();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void layoutBalloon();
    void hoverAt(const QPoint &pos);
    void leaveArea();
    void delayElapsed();
    void watch(QWidget *area);
    void updateCut();
    void paintBody(QPainter &p);

    QPointer<QWidget> m_control;
    QPointer<QWidget> m_itemArea;  // the viewport of a scrolling control, if any
    QRect m_toolRect;
    QString m_title;
    QString m_text;
    bool m_icon = false;
    QTimer m_delay;
    QPoint m_lastPos;
    bool m_pressed = false;   // a click hides the tip until the pointer leaves the control
    bool m_cut = false;
    bool m_stemDown = false;  // balloon above the point, pointer at the bottom
    int m_stemX = 0;          // x of the pointer's tip in the balloon's coordinates
    QRect m_body;             // rounded body in the balloon's coordinates
};

class clsToolTip
{
public:
    clsToolTip() = default;
    ~clsToolTip();  // leaves the tip alive: it belongs to its control from Create on

    void setParentControl(QWidget *vData);
    QWidget *parentControl() const { return m_parent; }
    // Before Create the title waits for Create; afterwards it replaces the
    // live tip's title, shown without the icon.
    void setToolTipTitle(const QString &vData);
    QString toolTipTitle() const { return m_title; }
    // Before Create the text waits for Create; afterwards it updates the live
    // tip. From Create on the text is also the control's accessible description.
    void setToolTipText(const QString &vData);
    QString toolTipText() const { return m_text; }
    // Replaces this object's previous tip (if any) by a new one over the
    // control's whole client area as it is now. Always returns false.
    bool Create();

    // The tip window made by the last Create (null before it, or once the
    // control is gone).
    BalloonTip *tipWindow() const { return m_tip; }

private:
    QPointer<QWidget> m_parent;
    QString m_title;
    QString m_text;
    QPointer<BalloonTip> m_tip;
};

} // namespace velmora
