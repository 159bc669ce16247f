// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The splash window's message fade, as a plain state machine without any
// window: each 30 ms tick says what the window is to draw.
//
// One message fades in from white to black (26 ticks), holds one tick, fades
// out from black to white (26 ticks); the tick after that clears the picture
// and, after the last message, starts the hand-over to the chooser.
#include <QPoint>
#include <QString>
#include <QStringList>

namespace velmora {

// A colour as 0x00BBGGRR.
constexpr quint32 RGB(int r, int g, int b)
{
    return quint32(r & 0xff) | (quint32(g & 0xff) << 8) | (quint32(b & 0xff) << 16);
}

// Where the message is drawn: 15 pixels from the left, one line height of
// free space under it (the point is the text's top left corner).
constexpr QPoint SetTextPos(int scaleHeight, int textHeight)
{
    return QPoint(15, scaleHeight - 2 * textHeight);
}

struct FadeTick
{
    bool colourChanged = false;  // lngTextColor got a new value on this tick
    bool cleared = false;        // the picture is cleared (no text) before drawing
    bool handOver = false;       // the chooser is shown on this tick
    bool drawText = false;       // the current message is drawn in lngTextColor
};

class SplashFade
{
public:
    // The load step: the one message and the start values.
    void Load(const QString &productTitle)
    {
        strMessage = QStringList{QStringLiteral("正在加载 ") + productTitle + QStringLiteral("...")};
        intMessage = 1;
        intLevel = 0;
        blnFadeIn = true;
    }

    int upperBound() const { return int(strMessage.size()); }
    // strMessage(intMessage), counted from 1; empty when out of range.
    QString message() const { return strMessage.value(intMessage - 1); }

    FadeTick Tick()
    {
        FadeTick t;
        if (blnFadeIn) {
            if (intLevel <= 255) {
                lngTextColor = RGB(255 - intLevel, 255 - intLevel, 255 - intLevel);
                t.colourChanged = true;
                intLevel += 10;
            } else {
                blnFadeIn = false;
                intLevel = 0;
            }
        } else {
            if (intLevel <= 255) {
                lngTextColor = RGB(intLevel, intLevel, intLevel);
                t.colourChanged = true;
                intLevel += 10;
            } else {
                t.cleared = true;
                ++intMessage;
                blnFadeIn = true;
                intLevel = 0;
                if (intMessage == upperBound() + 1)
                    t.handOver = true;
            }
        }
        if (intMessage <= upperBound())
            t.drawText = true;
        else
            intMessage = 1;
        return t;
    }

    QStringList strMessage;
    int intMessage = 1;
    int intLevel = 0;
    bool blnFadeIn = true;
    quint32 lngTextColor = 0;
};

} // namespace velmora
