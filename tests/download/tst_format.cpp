// Number patterns, size and duration texts, and the figures shown per chunk.
#include "download/core/format.h"
#include "download/core/problems.h"
#include "download/core/progress.h"

#include <QtTest>

using namespace velmora;

class TestFormat : public QObject
{
    Q_OBJECT
private slots:
    void formatNumber_data();
    void formatNumber();
    void formatSize_data();
    void formatSize();
    void formatDuration_data();
    void formatDuration();
    void progressFreshTransfer();
    void progressResumedTransfer();
    void progressWithoutRateOrTotal();
    void progressKnobPositions_data();
    void progressKnobPositions();
    void completedTimeText();
    void scriptedAnswerer();
};

void TestFormat::formatNumber_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("text");

    QTest::newRow("###0 rounds") << 1.5 << "###0" << "2";
    QTest::newRow("###0 zero") << 0.0 << "###0" << "0";
    QTest::newRow("###0 large") << 1023.999 << "###0" << "1024";
    QTest::newRow("###0.0") << 4.76837158203125 << "###0.0" << "4.8";
    QTest::newRow("###0.0 under one") << 0.04 << "###0.0" << "0.0";
    QTest::newRow("###0.0 carry") << 9.96 << "###0.0" << "10.0";
    QTest::newRow("###.0 half") << 1.5 << "###.0" << "1.5";
    QTest::newRow("###.0 under one") << 0.5 << "###.0" << ".5";
    QTest::newRow("###.0 rounds to one") << 0.96 << "###.0" << "1.0";
    QTest::newRow("decimal rounding") << 1.45 << "###0.0" << "1.5";
    QTest::newRow("#0 zero") << 0.0 << "#0" << "0";
    QTest::newRow("0 half away") << 2.5 << "0" << "3";
    QTest::newRow("0 keeps digits") << 12345.0 << "0" << "12345";
    QTest::newRow("negative") << -1.0 << "#0" << "-1";
    QTest::newRow("negative rounds to zero") << -0.2 << "0" << "0";
    QTest::newRow("percent") << 0.5 << "##0%" << "50%";
    QTest::newRow("percent full") << 1.0 << "##0%" << "100%";
    QTest::newRow("percent rounds") << 0.996 << "##0%" << "100%";
    QTest::newRow("percent small") << 0.004 << "##0%" << "0%";
    QTest::newRow("00.00 pads") << 3.1 << "00.00" << "03.10";
    QTest::newRow("#.## keeps point") << 5.0 << "#.##" << "5.";
}

void TestFormat::formatNumber()
{
    QFETCH(double, value);
    QFETCH(QString, pattern);
    QFETCH(QString, text);
    QCOMPARE(FormatNumber(value, pattern), text);
}

void TestFormat::formatSize_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("text");

    QTest::newRow("zero") << 0.0 << "" << "0 bytes";
    QTest::newRow("512") << 512.0 << "" << "512 bytes";
    QTest::newRow("decimals kept") << 512.25 << "###.0" << "512.25 bytes";
    QTest::newRow("1023") << 1023.0 << "" << "1023 bytes";
    QTest::newRow("gap 1023.5") << 1023.5 << "" << "";
    QTest::newRow("1024") << 1024.0 << "" << "1 KB";
    QTest::newRow("1536 default") << 1536.0 << "" << "2 KB";
    QTest::newRow("1536 ###.0") << 1536.0 << "###.0" << "1.5 KB";
    QTest::newRow("1048575") << 1048575.0 << "" << "1024 KB";
    QTest::newRow("gap 1048575.5") << 1048575.5 << "" << "";
    QTest::newRow("1048576") << 1048576.0 << "" << "1.0 MB";
    QTest::newRow("5000000") << 5000000.0 << "" << "4.8 MB";
    QTest::newRow("1073741823") << 1073741823.0 << "" << "1024.0 MB";
    QTest::newRow("just above 1073741823") << 1073741823.5 << "" << "1.0 GB";
    QTest::newRow("3 GiB") << 3221225472.0 << "" << "3.0 GB";
    QTest::newRow("3 GiB ###.0") << 3221225472.0 << "###.0" << "3.0 GB";
    QTest::newRow("negative") << -1.0 << "" << "";
}

void TestFormat::formatSize()
{
    QFETCH(double, value);
    QFETCH(QString, pattern);
    QFETCH(QString, text);
    QCOMPARE(FormatSize(value, pattern), text);
}

void TestFormat::formatDuration_data()
{
    QTest::addColumn<float>("seconds");
    QTest::addColumn<QString>("text");

    QTest::newRow("0") << 0.0f << "0 秒";
    QTest::newRow("42") << 42.0f << "42 秒";
    QTest::newRow("58.6") << 58.6f << "59 秒";
    QTest::newRow("59") << 59.0f << "59 秒";
    QTest::newRow("59.5 in the gap") << 59.5f << "0 小时 1 分钟";
    QTest::newRow("60") << 60.0f << "1 分钟 0 秒";
    QTest::newRow("75") << 75.0f << "1 分钟 15 秒";
    QTest::newRow("half to even down") << 62.5f << "1 分钟 2 秒";
    QTest::newRow("half to even up") << 63.5f << "1 分钟 4 秒";
    QTest::newRow("seconds wrap, minutes cut") << 119.5f << "1 分钟 0 秒";
    QTest::newRow("3599") << 3599.0f << "59 分钟 59 秒";
    QTest::newRow("3599.5 in the gap") << 3599.5f << "0 小时 0 分钟";
    QTest::newRow("3600") << 3600.0f << "1 小时 0 分钟";
    QTest::newRow("3725") << 3725.0f << "1 小时 2 分钟";
    QTest::newRow("minutes half to even") << 3690.0f << "1 小时 2 分钟";
    QTest::newRow("7199") << 7199.0f << "1 小时 0 分钟";
    QTest::newRow("negative") << -5.0f << "-1 小时 0 分钟";
    QTest::newRow("huge does not overflow") << 1099511627776.0f << "305419896 小时 36 分钟";
}

void TestFormat::formatDuration()
{
    QFETCH(float, seconds);
    QFETCH(QString, text);
    QCOMPARE(FormatDuration(seconds), text);
}

void TestFormat::progressFreshTransfer()
{
    // 409600 of 1 MiB in 4 s (100 KiB/s): 6 s left.
    const ProgressFigures f = ComputeProgress(409600, 1048576, 0, false, 4.0, QStringLiteral("a.mp3"));
    QCOMPARE(f.timeLabel, QStringLiteral("6 秒 (已复制 400 KB, 共 1.0 MB)"));
    QCOMPARE(f.rateLabel, QStringLiteral("100.0 KB/秒"));
    QCOMPARE(f.completeLabel, QStringLiteral("39% 已完成 (a.mp3)"));
    QCOMPARE(f.sngProgress, 0.390625f);
    QCOMPARE(f.knobTwips, 1658); // floor(4245 * 0.390625)
}

void TestFormat::progressResumedTransfer()
{
    // Resumed at 5904 bytes; only the bytes since then count for the rate.
    const ProgressFigures f = ComputeProgress(5904 + 1025, 20000, 5904, true, 2.0, QStringLiteral("b.rar"));
    QCOMPARE(f.rateLabel, QStringLiteral("512.5 bytes/秒"));
    // 13071 bytes left at 512.5 bytes/s: 25.5 s, shown as 26.
    QCOMPARE(f.timeLabel, QStringLiteral("26 秒 (已复制 7 KB, 共 20 KB)"));
    // The same counts without the resume flag would use all received bytes.
    const ProgressFigures g = ComputeProgress(5904 + 1025, 20000, 5904, false, 2.0, QStringLiteral("b.rar"));
    QCOMPARE(g.rateLabel, QStringLiteral("3.4 KB/秒"));

    // The last chunk of a whole file.
    const ProgressFigures done = ComputeProgress(20000, 20000, 5904, true, 3.0, QStringLiteral("b.rar"));
    QCOMPARE(done.completeLabel, QStringLiteral("100% 已完成 (b.rar)"));
    QCOMPARE(done.sngProgress, 1.0f);
    QCOMPARE(done.knobTwips, kSeekWidthTwips - kKnobWidthTwips);
    QVERIFY(done.timeLabel.startsWith(QStringLiteral("0 秒 (已复制 ")));
}

void TestFormat::progressWithoutRateOrTotal()
{
    // An empty first chunk: no rate yet, so no time left, and no failure.
    ProgressFigures f = ComputeProgress(0, 5000, 0, false, 1.0, QStringLiteral("x"));
    QCOMPARE(f.timeLabel, QStringLiteral(" (已复制 0 bytes, 共 5 KB)"));
    QCOMPARE(f.rateLabel, QStringLiteral("0 bytes/秒"));
    QCOMPARE(f.knobTwips, 0);

    // A resume whose first chunk is empty, and a clock that has not moved.
    f = ComputeProgress(4096, 8192, 4096, true, 1.0, QStringLiteral("x"));
    QVERIFY(f.timeLabel.startsWith(QStringLiteral(" (已复制 ")));
    f = ComputeProgress(100, 8192, 0, false, 0.0, QStringLiteral("x"));
    QVERIFY(f.timeLabel.startsWith(QStringLiteral(" (已复制 ")));

    // A total of 0 does not divide by zero.
    f = ComputeProgress(100, 0, 0, false, 1.0, QStringLiteral("x"));
    QCOMPARE(f.sngProgress, 0.0f);
    QCOMPARE(f.knobTwips, 0);
    QCOMPARE(f.completeLabel, QStringLiteral("0% 已完成 (x)"));
}

void TestFormat::progressKnobPositions_data()
{
    QTest::addColumn<qint64>("received");
    QTest::addColumn<qint64>("total");
    QTest::addColumn<int>("knob");

    QTest::newRow("0%") << qint64(0) << qint64(1000) << 0;
    QTest::newRow("60%") << qint64(600) << qint64(1000) << 2547;
    QTest::newRow("rounded down") << qint64(1) << qint64(3) << 1415;
    QTest::newRow("100%") << qint64(1000) << qint64(1000) << 4245;
    QTest::newRow("more than announced") << qint64(1500) << qint64(1000) << 4245;
}

void TestFormat::progressKnobPositions()
{
    QFETCH(qint64, received);
    QFETCH(qint64, total);
    QFETCH(int, knob);
    QCOMPARE(ComputeProgress(received, total, 0, false, 1.0, QString()).knobTwips, knob);
}

void TestFormat::completedTimeText()
{
    QCOMPARE(CompletedTimeText(5000000, 75), QStringLiteral("4.8 MB (共 1 分钟 15 秒)"));
    QCOMPARE(CompletedTimeText(512, 0), QStringLiteral("512 bytes (共 0 秒)"));
}

void TestFormat::scriptedAnswerer()
{
    ScriptedProblemAnswerer a;
    a.setFileAnswers({2});
    a.setAlertAnswers({2, 0});
    int seen = 0;
    a.onQuestion = [&seen](const ScriptedProblemAnswerer::Question &) { ++seen; };

    QCOMPARE(a.ShowFileAlert(QStringLiteral("/t/a.mp3"), false), 2);
    QCOMPARE(a.ShowFileAlert(QStringLiteral("/t/a.mp3"), true), 1); // queue empty: default
    QCOMPARE(a.ShowAlert(QStringLiteral("无法续传"), QStringLiteral("http://h/a.mp3"), true), 2);
    QCOMPARE(a.ShowAlert(QStringLiteral("下载未完成"), QStringLiteral("http://h/a.mp3"), false), 0);
    a.setAlertAnswer(2);
    QCOMPARE(a.ShowAlert(QStringLiteral("文件不存在"), QString(), false), 2);

    QCOMPARE(a.asked, QStringList({QStringLiteral("文件已存在"), QStringLiteral("服务器连接重置"),
                                   QStringLiteral("无法续传"), QStringLiteral("下载未完成"),
                                   QStringLiteral("文件不存在")}));
    QCOMPARE(seen, 5);
    QVERIFY(a.questions.at(0).fileDialog);
    QVERIFY(!a.questions.at(2).fileDialog);
    QVERIFY(a.questions.at(2).flag);
    QCOMPARE(a.questions.at(1).file, QStringLiteral("/t/a.mp3"));
}

QTEST_GUILESS_MAIN(TestFormat)
#include "tst_format.moc"
