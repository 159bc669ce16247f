// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// Number, size and duration texts and the figures shown per chunk, at the
// boundaries of their rules.
#include "download/core/format.h"
#include "download/core/progress.h"
#include "testsupport.h"

#include <QtTest>

#include <limits>

using namespace velmora;

enum class Fn { Number, Size, Duration };

class TestFormat : public QObject
{
    Q_OBJECT
private slots:
    void texts_data()
    {
        QTest::addColumn<Fn>("fn");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("text");
        QTest::newRow("###0 rounds half up") << Fn::Number << 2.5 << "###0" << "3";
        QTest::newRow("###0.0 carry") << Fn::Number << 9.96 << "###0.0" << "10.0";
        QTest::newRow("decimal, not binary, rounding") << Fn::Number << 1.45 << "###0.0" << "1.5";
        QTest::newRow("###.0 under one") << Fn::Number << 0.5 << "###.0" << ".5";
        QTest::newRow("percent") << Fn::Number << 0.996 << "##0%" << "100%";
        // Finite before the scaling, infinite after it: no text, not garbage.
        QTest::newRow("percent of a huge value") << Fn::Number << 1e307 << "##0%" << "";

        QTest::newRow("size decimals kept, pattern unused") << Fn::Size << 512.25 << "###.0" << "512.25 bytes";
        QTest::newRow("size gap 1023.5") << Fn::Size << 1023.5 << "" << "";
        QTest::newRow("size 1024") << Fn::Size << 1024.0 << "" << "1 KB";
        QTest::newRow("size 1048575") << Fn::Size << 1048575.0 << "" << "1024 KB";
        QTest::newRow("size 1073741823") << Fn::Size << 1073741823.0 << "" << "1024.0 MB";
        QTest::newRow("size just above 1073741823") << Fn::Size << 1073741823.5 << "" << "1.0 GB";

        // Rounded to the last unit shown before it is split: counting down
        // never shows more of a larger unit than a moment before.
        QTest::newRow("7199 s rounds up to the hour") << Fn::Duration << 7199.0 << "" << "2 小时 0 分钟";
        QTest::newRow("59.5 s becomes a minute") << Fn::Duration << 59.5 << "" << "1 分钟 0 秒";
        QTest::newRow("62.5 s half to even") << Fn::Duration << 62.5 << "" << "1 分钟 2 秒";
        QTest::newRow("3599.5 s becomes an hour") << Fn::Duration << 3599.5 << "" << "1 小时 0 分钟";
        QTest::newRow("negative time is nothing left") << Fn::Duration << -5.0 << "" << "0 秒";
        QTest::newRow("beyond 32-bit minutes") << Fn::Duration << 1099511627776.0 << "" << "305419896 小时 36 分钟";
    }
    void texts()
    {
        QFETCH(Fn, fn);
        QFETCH(double, value);
        QFETCH(QString, pattern);
        QFETCH(QString, text);
        if (fn == Fn::Number)
            QCOMPARE(FormatNumber(value, pattern), text);
        else if (fn == Fn::Size)
            QCOMPARE(FormatSize(value, pattern), text);
        else
            QCOMPARE(FormatDuration(float(value)), text);
    }

    // Counting down in tenths of a second across both unit changes, the
    // text never goes up: the cut-minutes fault showed 119.6 s as one minute.
    void durationNeverRisesWhileFalling()
    {
        const auto inSeconds = [](const QString &text) {
            const QStringList w = text.split(QLatin1Char(' '));
            const qint64 unit = w.size() == 2 ? 1 : w.at(1) == QStringLiteral("小时") ? 3600 : 60;
            return w.at(0).toLongLong() * unit + (w.size() == 2 ? 0 : w.at(2).toLongLong() * (unit / 60));
        };
        qint64 previous = inSeconds(FormatDuration(7300.0f));
        for (int tenths = 73000; tenths >= 0; --tenths) {
            const QString text = FormatDuration(float(tenths) / 10.0f);
            QVERIFY2(inSeconds(text) <= previous, qPrintable(QString::number(tenths) + QStringLiteral(": ") + text));
            previous = inSeconds(text);
        }
    }

    void progress()
    {
        constexpr qint64 kMax = std::numeric_limits<qint64>::max();
        constexpr qint64 kMin = std::numeric_limits<qint64>::min();
        // A chunk's figures; the TimeLabel, RateLabel and CompleteLabel texts and the knob's place for them.
        const std::pair<BodyFigures, QStringList> rows[] = {
            // 100 KiB/s with 600 KiB left: 6 s; the knob at 283 * 0.390625, rounded.
            {{409600, 1048576, 0, false, 4.0, "a.mp3"},
             {"6 秒 (已复制 400 KB, 共 1.0 MB)", "100.0 KB/秒", "39% 已完成 (a.mp3)", "111"}},
            // Only the bytes since the resume count for the rate: 13071 bytes
            // left at 512.5 bytes/s is 25.5 s, shown as 26.
            {{6929, 20000, 5904, true, 2.0, "b.rar"},
             {"26 秒 (已复制 7 KB, 共 20 KB)", "512.5 bytes/秒", "35% 已完成 (b.rar)", "98"}},
            {{6929, 20000, 5904, false, 2.0, "b.rar"},
             {"4 秒 (已复制 7 KB, 共 20 KB)", "3.4 KB/秒", "35% 已完成 (b.rar)", "98"}},
            // More than announced: no time left, and the knob stays on the bar.
            {{1500, 1000, 0, false, 1.0, "c"}, {"0 秒 (已复制 1 KB, 共 1000 bytes)", "1.5 KB/秒", "150% 已完成 (c)", "283"}},
            // No time has passed, so no rate: no time left, and no failure.
            {{100, 8192, 0, false, 0.0, "x"}, {" (已复制 100 bytes, 共 8 KB)", "0 bytes/秒", "1% 已完成 (x)", "3"}},
            {{100, 0, 0, false, 1.0, "x"}, {"0 秒 (已复制 100 bytes, 共 0 bytes)", "100 bytes/秒", "0% 已完成 (x)", "0"}},
            // Differences that do not fit in 64 bits are worked out in floating point.
            {{kMax, kMax, kMin, true, 1.0, "x"},
             {"0 秒 (已复制 8589934592.0 GB, 共 8589934592.0 GB)", "17179869184.0 GB/秒", "100% 已完成 (x)", "283"}},
            {{kMax, kMin, 0, false, 1.0, "x"},
             {"0 秒 (已复制 8589934592.0 GB, 共 )", "8589934592.0 GB/秒", "0% 已完成 (x)", "0"}},
        };
        for (const auto &[body, shown] : rows) {
            const ProgressFigures f = ComputeProgress(body);
            const QStringList got = {f.timeLabel, f.rateLabel, f.completeLabel, QString::number(f.knobX)};
            QVERIFY2(got == shown, testing::RowMismatch(got, shown).constData());
        }
    }

    void knobAndCompletedTime()
    {
        QCOMPARE(KnobPositionFor(qQNaN()), 0);  // a fraction that is no number leaves it at the start
        QCOMPARE(CompletedTimeText(5000000, 75), QStringLiteral("4.8 MB (共 1 分钟 15 秒)"));
    }
};

QTEST_GUILESS_MAIN(TestFormat)
#include "tst_format.moc"
