// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The splash window: fades the loading message in and out over its picture,
// opens the chooser under itself, and goes one second later.
#include "app/ui/splashfade.h"

#include "common/ui/sharp.h"

#include <QPixmap>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace velmora {

class frmType;

class frmSplash : public QWidget
{
    Q_OBJECT
public:
    // Shows itself at once and starts the animation.
    frmSplash();

    const SplashFade &fade() const { return m_fade; }
    bool textShown() const { return m_textShown; }
    QColor textColour() const;
    QPoint textPos() const { return m_textPos; }
    frmType *chooser() const { return m_chooser; }

    QTimer Timer1;    // 30 ms animation tick
    QTimer timStep1;  // never started; the animation calls the hand-over itself
    QTimer timStep2;  // 1 s pause before the splash goes

signals:
    void step1Done();
    void step2Done();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void Form_Load();
    void Timer1_Timer();
    void timStep1_Timer();
    void timStep2_Timer();

    SplashFade m_fade;
    SharpPixmap m_picture;  // the splash image at the screen's pixel ratio
    bool m_textShown = false;
    QPoint m_textPos;
    QPointer<frmType> m_chooser;
};

} // namespace velmora
