// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// The splash's fade as a state machine: the colour of every tick, the hold,
// and the tick that hands over to the chooser.
#include "app/ui/splashfade.h"

#include <QtTest>

using velmora::FadeTick;
using velmora::RGB;
using velmora::SplashFade;

class TestSplashFade : public QObject
{
    Q_OBJECT

private slots:
    void loadStep()
    {
        SplashFade f;
        f.intLevel = 120;
        f.blnFadeIn = false;
        f.intMessage = 7;
        f.Load(QStringLiteral("Velmora 1.13"));
        QCOMPARE(f.upperBound(), 1);
        QCOMPARE(f.message(), QStringLiteral("正在加载 Velmora 1.13..."));
        QCOMPARE(f.intMessage, 1);
        QCOMPARE(f.intLevel, 0);
        QVERIFY(f.blnFadeIn);
    }

    void oneMessageRunsFiftyFourTicks()
    {
        SplashFade f;
        f.Load(QStringLiteral("Velmora 1.13"));
        QList<quint32> colours;
        int handOverTick = 0;
        for (int tick = 1; tick <= 54; ++tick) {
            const FadeTick t = f.Tick();
            QVERIFY(f.intLevel >= 0 && f.intLevel <= 260);
            if (t.handOver) {
                QVERIFY(!handOverTick);
                handOverTick = tick;
                QVERIFY(t.cleared);
                QVERIFY(!t.drawText);
                QVERIFY(!t.colourChanged);
                continue;
            }
            QVERIFY2(t.drawText, qPrintable(QString::number(tick)));
            QVERIFY(!t.cleared);
            if (tick == 27) {
                // The hold: no new colour, the text is drawn again as it was.
                QVERIFY(!t.colourChanged);
                QCOMPARE(f.lngTextColor, RGB(5, 5, 5));
                QVERIFY(!f.blnFadeIn);
                QCOMPARE(f.intLevel, 0);
            } else {
                QVERIFY(t.colourChanged);
                colours << f.lngTextColor;
            }
        }
        QCOMPARE(handOverTick, 54);
        QCOMPARE(f.intMessage, 1);
        QVERIFY(f.blnFadeIn);
        QCOMPARE(f.intLevel, 0);

        QCOMPARE(colours.size(), 52);
        // White to black, then black to white, in steps of 10.
        for (int i = 0; i < 26; ++i) {
            QCOMPARE(colours.at(i), RGB(255 - 10 * i, 255 - 10 * i, 255 - 10 * i));
            QCOMPARE(colours.at(26 + i), RGB(10 * i, 10 * i, 10 * i));
        }
    }

    void twoMessagesHandOverAfterTheSecond()
    {
        SplashFade f;
        f.Load(QStringLiteral("X"));
        f.strMessage << QStringLiteral("second");
        int handOver = 0;
        for (int tick = 1; tick <= 108; ++tick) {
            const FadeTick t = f.Tick();
            if (tick == 54) {
                // The first message is cleared and the second starts at once.
                QVERIFY(t.cleared);
                QVERIFY(!t.handOver);
                QVERIFY(t.drawText);
                QCOMPARE(f.message(), QStringLiteral("second"));
            }
            if (t.handOver)
                handOver = tick;
        }
        QCOMPARE(handOver, 108);
        QCOMPARE(f.intMessage, 1);
    }

    void textPositionAndColourLayout()
    {
        QCOMPARE(velmora::SetTextPos(300, 14), QPoint(15, 272));
        QCOMPARE(velmora::SetTextPos(300, 0), QPoint(15, 300));
        QCOMPARE(RGB(0x12, 0x34, 0x56), quint32(0x563412));
    }
};

QTEST_APPLESS_MAIN(TestSplashFade)
#include "tst_splashfade.moc"
