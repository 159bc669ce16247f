// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/ui/frmsplash.h"

#include "app/ui/art.h"
#include "app/ui/frmtype.h"
#include "app/ui/startup.h"
#include "common/core/version.h"
#include "common/ui/placement.h"
#include "common/ui/uifont.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

namespace velmora {

frmSplash::frmSplash()
    : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("frmSplash"));
    setAccessibleName(kProductTitle);
    setAttribute(Qt::WA_DeleteOnClose);
    setFont(UiFont(9));
    setFixedSize(450, 300);
    setAutoFillBackground(false);
    m_picture = SharpPixmap([](qreal dpr) { return art::SplashImage(dpr); });

    PlaceOnScreen(this);

    Timer1.setInterval(30);
    timStep1.setInterval(1000);
    timStep2.setInterval(1000);
    connect(&Timer1, &QTimer::timeout, this, &frmSplash::Timer1_Timer);
    connect(&timStep1, &QTimer::timeout, this, &frmSplash::timStep1_Timer);
    connect(&timStep2, &QTimer::timeout, this, &frmSplash::timStep2_Timer);

    Form_Load();
}

void frmSplash::Form_Load()
{
    // Topmost has to be asked for before the window is first mapped here.
    SetTopMost(this);
    show();
    m_fade.Load(kProductTitle);
    Timer1.start();
}

QColor frmSplash::textColour() const
{
    const quint32 c = m_fade.lngTextColor;
    return QColor(int(c & 0xff), int((c >> 8) & 0xff), int((c >> 16) & 0xff));
}

void frmSplash::Timer1_Timer()
{
    const FadeTick t = m_fade.Tick();
    if (t.cleared)
        m_textShown = false;
    if (t.handOver)
        timStep1_Timer();
    if (t.drawText) {
        m_textPos = SetTextPos(height(), QFontMetrics(font()).height());
        m_textShown = true;
    }
    update();
}

void frmSplash::timStep1_Timer()
{
    m_chooser = new frmType();
    m_chooser->show();
    timStep1.stop();
    timStep2.start();
    Timer1.stop();
    m_textShown = false;
    update();
    emit step1Done();
}

void frmSplash::timStep2_Timer()
{
    timStep2.stop();
    if (m_chooser)
        m_chooser->setEnabled(true);
    emit step2Done();
    // Unloaded from inside its own timer: let the event loop delete it.
    hide();
    deleteLater();
}

void frmSplash::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.drawPixmap(0, 0, m_picture.forWidget(this));
    if (m_textShown) {
        p.setRenderHint(QPainter::TextAntialiasing);
        p.setFont(font());
        p.setPen(textColour());
        const QString msg = m_fade.message();
        const QFontMetrics fm(font());
        p.drawText(QRect(m_textPos, QSize(fm.horizontalAdvance(msg) + 2, fm.height())),
                   Qt::AlignLeft | Qt::AlignTop, msg);
    }
}

} // namespace velmora
