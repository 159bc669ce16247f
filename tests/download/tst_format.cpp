// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// Number patterns, size and duration texts, and the figures shown per chunk.
#include "download/core/format.h"
#include "download/core/progress.h"

#include <QtTest>

#include <limits>

using namespace velmora;

class TestFormat : public QObject
{
    Q_OBJECT
private slots:
    void formatNumber_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("text");
        QTest::newRow("###0 rounds half up") << 2.5 << "###0" << "3";
        QTest::newRow("###0.0 carry") << 9.96 << "###0.0" << "10.0";
        QTest::newRow("decimal, not binary, rounding") << 1.45 << "###0.0" << "1.5";
        QTest::newRow("###.0 under one") << 0.5 << "###.0" << ".5";
        QTest::newRow("###.0 rounds to one") << 0.96 << "###.0" << "1.0";
        QTest::newRow("negative") << -1.0 << "#0" << "-1";
        QTest::newRow("percent") << 0.996 << "##0%" << "100%";
        QTest::newRow("required digits pad") << 3.1 << "00.00" << "03.10";
        // Finite before the scaling, infinite after it: no text, not garbage.
        QTest::newRow("percent of a huge value") << 1e307 << "##0%" << "";
        QTest::newRow("infinite") << qInf() << "###0" << "";
    }
    void formatNumber()
    {
        QFETCH(double, value);
        QFETCH(QString, pattern);
        QFETCH(QString, text);
        QCOMPARE(FormatNumber(value, pattern), text);
    }

    void formatSize_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << 0.0 << "" << "0 bytes";
        QTest::newRow("decimals kept, pattern unused") << 512.25 << "###.0" << "512.25 bytes";
        QTest::newRow("gap 1023.5") << 1023.5 << "" << "";
        QTest::newRow("1024") << 1024.0 << "" << "1 KB";
        QTest::newRow("1536 ###.0") << 1536.0 << "###.0" << "1.5 KB";
        QTest::newRow("1048575") << 1048575.0 << "" << "1024 KB";
        QTest::newRow("gap 1048575.5") << 1048575.5 << "" << "";
        QTest::newRow("1048576") << 1048576.0 << "" << "1.0 MB";
        QTest::newRow("5000000") << 5000000.0 << "" << "4.8 MB";
        QTest::newRow("1073741823") << 1073741823.0 << "" << "1024.0 MB";
        QTest::newRow("just above 1073741823") << 1073741823.5 << "" << "1.0 GB";
        QTest::newRow("3 GiB") << 3221225472.0 << "" << "3.0 GB";
        QTest::newRow("negative") << -1.0 << "" << "";
    }
    void formatSize()
    {
        QFETCH(double, value);
        QFETCH(QString, pattern);
        QFETCH(QString, text);
        QCOMPARE(FormatSize(value, pattern), text);
    }

    void formatDuration_data()
    {
        QTest::addColumn<float>("seconds");
        QTest::addColumn<QString>("text");
        // Rounded to the last unit shown before it is split: counting down
        // never shows more of a larger unit than a moment before.
        QTest::newRow("75") << 75.0f << "1 分钟 15 秒";
        QTest::newRow("3725") << 3725.0f << "1 小时 2 分钟";
        QTest::newRow("7199 rounds up to the hour") << 7199.0f << "2 小时 0 分钟";
        QTest::newRow("59.4 stays seconds") << 59.4f << "59 秒";
        QTest::newRow("59.5 becomes a minute") << 59.5f << "1 分钟 0 秒";
        QTest::newRow("119.6 is two minutes") << 119.6f << "2 分钟 0 秒";
        QTest::newRow("half to even down") << 62.5f << "1 分钟 2 秒";
        QTest::newRow("half to even up") << 63.5f << "1 分钟 4 秒";
        QTest::newRow("3599") << 3599.0f << "59 分钟 59 秒";
        QTest::newRow("3599.5 becomes an hour") << 3599.5f << "1 小时 0 分钟";
        QTest::newRow("minutes half to even") << 3690.0f << "1 小时 2 分钟";
        QTest::newRow("3629.9 keeps the hour") << 3629.9f << "1 小时 0 分钟";
        QTest::newRow("below one second") << 0.4f << "0 秒";
        QTest::newRow("negative is nothing left") << -5.0f << "0 秒";
        QTest::newRow("beyond 32-bit minutes") << 1099511627776.0f << "305419896 小时 36 分钟";
    }
    void formatDuration()
    {
        QFETCH(float, seconds);
        QFETCH(QString, text);
        QCOMPARE(FormatDuration(seconds), text);
    }

    // Counting down in tenths of a second across both unit changes, the
    // text never goes up: the cut-minutes fault showed 119.6 s as one minute.
    void formatDurationNeverRisesWhileFalling()
    {
        auto inSeconds = [](const QString &text) {
            const QStringList w = text.split(QLatin1Char(' '));
            if (w.size() == 2)
                return w.at(0).toLongLong();
            const qint64 unit = w.at(1) == QStringLiteral("小时") ? 3600 : 60;
            return w.at(0).toLongLong() * unit + w.at(2).toLongLong() * (unit / 60);
        };
        qint64 previous = inSeconds(FormatDuration(7300.0f));
        for (int tenths = 73000; tenths >= 0; --tenths) {
            const QString text = FormatDuration(float(tenths) / 10.0f);
            const qint64 now = inSeconds(text);
            QVERIFY2(now <= previous, qPrintable(QString::number(tenths) + QStringLiteral(": ") + text));
            previous = now;
        }
    }

    void progressFreshAndResumed()
    {
        // 409600 of 1 MiB in 4 s (100 KiB/s): 6 s left.
        ProgressFigures f = ComputeProgress({409600, 1048576, 0, false, 4.0, QStringLiteral("a.mp3")});
        QCOMPARE(f.timeLabel, QStringLiteral("6 秒 (已复制 400 KB, 共 1.0 MB)"));
        QCOMPARE(f.rateLabel, QStringLiteral("100.0 KB/秒"));
        QCOMPARE(f.completeLabel, QStringLiteral("39% 已完成 (a.mp3)"));
        QCOMPARE(f.sngProgress, 0.390625f);
        QCOMPARE(f.knobX, 111);  // 283 * 0.390625, rounded

        // Resumed at 5904: only the bytes since then count for the rate;
        // 13071 bytes left at 512.5 bytes/s is 25.5 s, shown as 26.
        f = ComputeProgress({6929, 20000, 5904, true, 2.0, QStringLiteral("b.rar")});
        QCOMPARE(f.rateLabel, QStringLiteral("512.5 bytes/秒"));
        QCOMPARE(f.timeLabel, QStringLiteral("26 秒 (已复制 7 KB, 共 20 KB)"));
        QCOMPARE(ComputeProgress({6929, 20000, 5904, false, 2.0, QString()}).rateLabel, QStringLiteral("3.4 KB/秒"));

        f = ComputeProgress({20000, 20000, 5904, true, 3.0, QStringLiteral("b.rar")});
        QCOMPARE(f.completeLabel, QStringLiteral("100% 已完成 (b.rar)"));
        QCOMPARE(f.knobX, kSeekWidth - kKnobWidth);
        QCOMPARE(ComputeProgress({600, 1000, 0, false, 1.0, QString()}).knobX, 170);
        QCOMPARE(ComputeProgress({1500, 1000, 0, false, 1.0, QString()}).knobX, 283); // knob stays on the bar
        QCOMPARE(CompletedTimeText(5000000, 75), QStringLiteral("4.8 MB (共 1 分钟 15 秒)"));
    }

    void progressWithoutRateOrTotal()
    {
        // An empty first chunk: no rate, so no time left, and no failure.
        ProgressFigures f = ComputeProgress({0, 5000, 0, false, 1.0, QStringLiteral("x")});
        QCOMPARE(f.timeLabel, QStringLiteral(" (已复制 0 bytes, 共 5 KB)"));
        QCOMPARE(f.rateLabel, QStringLiteral("0 bytes/秒"));
        QVERIFY(ComputeProgress({4096, 8192, 4096, true, 1.0, QString()}).timeLabel.startsWith(" (已复制 "));
        QVERIFY(ComputeProgress({100, 8192, 0, false, 0.0, QString()}).timeLabel.startsWith(" (已复制 "));

        // A total of 0 does not divide by zero.
        f = ComputeProgress({100, 0, 0, false, 1.0, QStringLiteral("x")});
        QCOMPARE(f.knobX, 0);
        QCOMPARE(f.completeLabel, QStringLiteral("0% 已完成 (x)"));
    }

    void progressWithExtremeFigures()
    {
        // Figures whose differences do not fit in 64 bits are worked out in
        // floating point: 2^64 bytes copied in one second, nothing left.
        constexpr qint64 kMax = std::numeric_limits<qint64>::max();
        constexpr qint64 kMin = std::numeric_limits<qint64>::min();
        ProgressFigures f = ComputeProgress({kMax, kMax, kMin, true, 1.0, QStringLiteral("x")});
        QCOMPARE(f.rateLabel, QStringLiteral("17179869184.0 GB/秒"));
        QVERIFY2(f.timeLabel.startsWith(QStringLiteral("0 秒 (已复制 ")), qPrintable(f.timeLabel));
        QCOMPARE(f.completeLabel, QStringLiteral("100% 已完成 (x)"));
        QCOMPARE(f.knobX, kSeekWidth - kKnobWidth);

        // A total far below what arrived: no time is left, and nothing wrapped.
        f = ComputeProgress({kMax, kMin, 0, false, 1.0, QStringLiteral("x")});
        QVERIFY2(f.timeLabel.startsWith(QStringLiteral("0 秒 (已复制 ")), qPrintable(f.timeLabel));
        QCOMPARE(f.knobX, 0);

        QCOMPARE(KnobPositionFor(qQNaN()), 0);
        QCOMPARE(KnobPositionFor(-qInf()), 0);
        QCOMPARE(KnobPositionFor(qInf()), kSeekWidth - kKnobWidth);
    }
};

QTEST_GUILESS_MAIN(TestFormat)
#include "tst_format.moc"
