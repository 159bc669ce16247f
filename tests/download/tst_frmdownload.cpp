// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// The download window driven as a user would: real widgets under the
// offscreen platform, the loopback server, the real Save-As dialog and the
// real problem dialogs where a case is about them.
#include "download/ui/alerts.h"
#include "download/ui/problemdialog.h"
#include "common/core/version.h"
#include "download/core/engine.h"
#include "download/core/progress.h"
#include "download/core/savelocation.h"
#include "download/ui/frmdownload.h"
#include "download/ui/seekbar.h"
#include "httpserver.h"
#include "doubles.h"
#include "testsupport.h"

#include <QApplication>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <cmath>

using namespace velmora;
using velmora::httpd::HttpServer;
using velmora::httpd::Rule;

namespace {

// The window's controls, by their names.
QPushButton *Button(const QObject *window, const char *name) { return testing::Control<QPushButton>(window, name); }
QLabel *Label(const QObject *window, const char *name) { return testing::Control<QLabel>(window, name); }
QLineEdit *Box(const QObject *window, const char *name) { return testing::Control<QLineEdit>(window, name); }

// Receives what the window hands to the desktop.
class UrlCatcher : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl &url) { urls << url; }
};

void flushDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// "146.5 KB/秒" as bytes per second.
double rateOf(const QString &text)
{
    const QStringList parts = text.section(QLatin1Char('/'), 0, 0).split(QLatin1Char(' '));
    static const QStringList units = {QStringLiteral("bytes"), QStringLiteral("KB"), QStringLiteral("MB"),
                                      QStringLiteral("GB")};
    const int unit = parts.size() == 2 ? int(units.indexOf(parts[1])) : -1;
    return unit < 0 ? -1 : parts[0].toDouble() * std::pow(1024.0, unit);
}

// The time left at the start of TimeLabel ("1 分钟 15 秒 (已复制 ...") in seconds.
double secondsLeftOf(const QString &text)
{
    const QStringList parts = text.section(QStringLiteral(" (已复制"), 0, 0).split(QLatin1Char(' '));
    static const QHash<QString, double> units = {{QStringLiteral("秒"), 1}, {QStringLiteral("分钟"), 60},
                                                 {QStringLiteral("小时"), 3600}};
    double seconds = 0;
    for (int i = 0; i + 1 < parts.size(); i += 2)
        seconds += parts[i].toDouble() * units.value(parts[i + 1], qQNaN());
    return parts.size() >= 2 ? seconds : qQNaN();
}

} // namespace

class tst_FrmDownload : public QObject
{
    Q_OBJECT

private:
    HttpServer server;
    QTemporaryDir dir;
    QWidget mainWindow;
    testing::FixedSavePath saveDialog;
    testing::ScriptedProblemAnswerer answerer;
    QPointer<frmDownload> window;
    std::function<void(frmDownload *)> extraSetup;

    // As the main window does it: disable itself, then a fresh download window.
    bool download(const QString &path)
    {
        QString user, password;
        mainWindow.setEnabled(false);
        auto *w = new frmDownload(&mainWindow);
        window = w;
        w->setSaveDialog(&saveDialog);
        w->setProblemAnswerer(&answerer);
        if (extraSetup)
            extraSetup(w);
        return w->DownloadFile(server.url(path), user, password);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(server.start());
        mainWindow.resize(200, 100);
        mainWindow.show();
    }
    void init()
    {
        server.clearRules();
        server.clearRequests();
        server.setDefaultRate(0);
        answerer = testing::ScriptedProblemAnswerer();
        extraSetup = nullptr;
    }
    void cleanup()
    {
        if (window)
            window->close();
        flushDeletes();
    }

    void completeDownloadStaysOpen()
    {
        const qint64 size = 600 * 1024;
        server.addGeneratedFile(QStringLiteral("/music/Theme.mp3"), size);
        server.setDefaultRate(300 * 1024);
        saveDialog.path = dir.filePath(QStringLiteral("Theme.mp3"));
        bool shotTaken = false;
        QStringList startTexts;
        extraSetup = [&](frmDownload *w) {
            // As designed before anything runs.
            startTexts << w->windowTitle() << Button(w, "CancelButton")->text() << Box(w, "CompleteLabel")->text()
                       << Label(w, "EstimatedTimeLeft")->text() << QString::number(Button(w, "OpenButton")->isEnabled())
                       << QString::number(Button(w, "FolderButton")->isEnabled());
            connect(w->engine(), &DownloadEngine::bodyProgress, w, [&, w](qint64 received, qint64 total) {
                if (!shotTaken && received * 2 >= total) {
                    shotTaken = true;
                    QCOMPARE(Label(w, "StatusLabel")->text(), QStringLiteral("保存"));
                    QVERIFY(Label(w, "RateLabel")->text().endsWith(QStringLiteral("/秒")));
                    QVERIFY(Label(w, "TimeLabel")->text().contains(QStringLiteral("已复制")));
                    QVERIFY(testing::Control<SeekBar>(w, "picSeek")->seekLength() > 0);
                    QVERIFY(!mainWindow.isEnabled());
                    testing::SaveScreenshot(w, QStringLiteral("frmdownload-progress"));
                }
            });
        };
        QVERIFY(download(QStringLiteral("/music/Theme.mp3")));
        QCOMPARE(startTexts, QStringList({kProductTitle, QStringLiteral("取消"), QStringLiteral("文件下载"),
                                          QStringLiteral("估计剩余时间:"), QStringLiteral("0"), QStringLiteral("0")}));
        QVERIFY(shotTaken);
        QCOMPARE(testing::Sha256OfFile(saveDialog.path), HttpServer::GeneratedSha256(size));
        QVERIFY(window && window->isVisible());
        QVERIFY(!mainWindow.isEnabled());
        QCOMPARE(Label(window, "StatusLabel")->text(), QStringLiteral("保存"));
        QCOMPARE(Button(window, "CancelButton")->text(), QStringLiteral("关闭"));
        QCOMPARE(Label(window, "EstimatedTimeLeft")->text(), QStringLiteral("下载完毕:"));
        QVERIFY(Button(window, "OpenButton")->isEnabled() && Button(window, "FolderButton")->isEnabled());
        QCOMPARE(Box(window, "SourceLabel")->text(), QStringLiteral("Theme.mp3 来自 Quillon"));
        QCOMPARE(Box(window, "ToLabel")->text(), saveDialog.path);
        QCOMPARE(Box(window, "CompleteLabel")->text(), QStringLiteral("100% 已完成 (Theme.mp3)"));
        // The server's rate makes the body last over a second: the clock ticked.
        const qint64 elapsed = window->state().varElapsed;
        QVERIFY(elapsed >= 1);
        QCOMPARE(Label(window, "TimeLabel")->text(), CompletedTimeText(size, elapsed));
        testing::SaveScreenshot(window, QStringLiteral("frmdownload-complete"));

        // "关闭" closes it without a word; the main window is usable again.
        Button(window, "CancelButton")->click();
        QVERIFY(mainWindow.isEnabled());
        flushDeletes();
        QVERIFY(window.isNull());
        QVERIFY(answerer.asked.isEmpty());

        // The next download gets a window as designed.
        startTexts.clear();
        server.setDefaultRate(0);
        QVERIFY(download(QStringLiteral("/music/Theme.mp3")));  // answered "文件已存在" with 1
        QCOMPARE(startTexts.mid(1), QStringList({QStringLiteral("取消"), QStringLiteral("文件下载"),
                                                 QStringLiteral("估计剩余时间:"), QStringLiteral("0"), QStringLiteral("0")}));
        QTest::keyClick(window, Qt::Key_Escape);  // Escape closes a finished window too
        QVERIFY(mainWindow.isEnabled());
        flushDeletes();
        QVERIFY(window.isNull());
    }

    void finalFiguresAtTheEnd()
    {
        // A fast download: the figures reach the screen at the display's
        // pace, and the last ones are there when the download returns.
        const qint64 size = 3 * 1024 * 1024 + 17;
        server.addGeneratedFile(QStringLiteral("/fast/Final.bin"), size);
        saveDialog.path = dir.filePath(QStringLiteral("Final.bin"));
        QFile::remove(saveDialog.path);
        QVERIFY(download(QStringLiteral("/fast/Final.bin")));
        QCOMPARE(testing::Sha256OfFile(saveDialog.path), HttpServer::GeneratedSha256(size));
        QCOMPARE(Box(window, "CompleteLabel")->text(), QStringLiteral("100% 已完成 (Final.bin)"));
        QCOMPARE(Label(window, "TimeLabel")->text(), CompletedTimeText(size, window->state().varElapsed));
        QVERIFY(Label(window, "RateLabel")->text().endsWith(QStringLiteral("/秒")));
        QCOMPARE(testing::Control<SeekBar>(window, "picSeek")->seekLength(), kSeekWidth - kKnobWidth);
        QCOMPARE(Label(window, "EstimatedTimeLeft")->text(), QStringLiteral("下载完毕:"));
        testing::SaveScreenshot(window, QStringLiteral("frmdownload-final"));
        Button(window, "CancelButton")->click();
        flushDeletes();
    }

    void figuresMoveWhileNothingArrives()
    {
        // The server sends part of the body, then nothing, and keeps the
        // connection open: on each tick of the window's clock the rate shown
        // falls and the time left grows, instead of standing still.
        const QString path = QStringLiteral("/stall/Half.bin");
        const qint64 size = 1024 * 1024;
        const qint64 sent = 300 * 1024;
        server.addGeneratedFile(path, size);
        Rule r;
        r.path = path;
        r.when = Rule::When::WithRange;
        r.stallAfter = sent;
        server.addRule(r);
        saveDialog.path = dir.filePath(QStringLiteral("Half.bin"));
        QFile::remove(saveDialog.path);
        QList<double> rates;
        QList<double> secondsLeft;
        int silentTicks = 0;
        extraSetup = [&](frmDownload *w) {
            connect(&w->engine()->TimerTime, &QTimer::timeout, w, [&, w] {
                // Counted once everything the server sent is in, and its log
                // says it has sent nothing since.
                if (w->engine()->Received() != sent)
                    return;
                QCOMPARE(server.requestsFor(path).last().bodyBytesSent, sent);
                // The first such tick may still see the last chunk's figures;
                // from the next one on, the screen holds the previous tick's.
                if (++silentTicks == 1)
                    return;
                rates << rateOf(Label(w, "RateLabel")->text());
                secondsLeft << secondsLeftOf(Label(w, "TimeLabel")->text());
                if (rates.size() == 2)
                    Button(w, "CancelButton")->click();
            });
        };
        QVERIFY(!download(path));
        QCOMPARE(rates.size(), 2);
        QVERIFY2(rates[0] > rates[1] && rates[1] > 0, qPrintable(QStringLiteral("%1 %2").arg(rates[0]).arg(rates[1])));
        QVERIFY2(secondsLeft[0] < secondsLeft[1],
                 qPrintable(QStringLiteral("%1 %2").arg(secondsLeft[0]).arg(secondsLeft[1])));
        QCOMPARE(answerer.asked, QStringList({QStringLiteral("下载未完成")}));
        // What did arrive is on disk, ready for a resume.
        QCOMPARE(testing::Sha256OfFile(saveDialog.path), HttpServer::GeneratedSha256(sent));
    }

    void stopDuringBody_data()
    {
        QTest::addColumn<int>("how");
        QTest::newRow("Cancel button") << 0;
        QTest::newRow("Escape") << 1;
        QTest::newRow("close box") << 2;
    }
    void stopDuringBody()
    {
        QFETCH(int, how);
        const QString path = QStringLiteral("/stop-%1.bin").arg(how);
        server.addGeneratedFile(path, 8 * 1024 * 1024);
        server.setDefaultRate(512 * 1024);
        saveDialog.path = dir.filePath(path.mid(1));
        QString statusAtStop;
        extraSetup = [&](frmDownload *w) {
            connect(w->engine(), &DownloadEngine::bodyProgress, w, [&, w](qint64 received) {
                if (received < 30000 || !statusAtStop.isEmpty())
                    return;
                if (how == 0)
                    Button(w, "CancelButton")->click();
                else if (how == 1)
                    QTest::keyClick(w, Qt::Key_Escape);
                else
                    w->close();
                statusAtStop = Label(w, "StatusLabel")->text();
                QVERIFY(w->isVisible() || how == 2);
            });
        };
        QVERIFY(!download(path));
        QCOMPARE(statusAtStop, QStringLiteral("取消"));
        QCOMPARE(answerer.asked, QStringList({QStringLiteral("下载未完成")}));
        QVERIFY(mainWindow.isEnabled());
        // The window went away, but only after the engine had returned.
        QVERIFY(window && window->isHidden());
        flushDeletes();
        QVERIFY(window.isNull());
        // What was written is a correct beginning, ready for a resume.
        QFile f(saveDialog.path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray data = f.readAll();
        QVERIFY(data.size() >= 30000 && data.size() < 8 * 1024 * 1024);
        QByteArray expect(data.size(), Qt::Uninitialized);
        HttpServer::GeneratedBytes(expect.data(), 0, expect.size());
        QVERIFY(data == expect);
    }

    void openAndFolderButtons()
    {
        UrlCatcher catcher;
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "open");
        server.addGeneratedFile(QStringLiteral("/open.txt"), 3000);
        saveDialog.path = dir.filePath(QStringLiteral("open.txt"));
        QFile::remove(saveDialog.path);

        QVERIFY(download(QStringLiteral("/open.txt")));
        Button(window, "OpenButton")->click();
        QCOMPARE(catcher.urls, QList<QUrl>({QUrl::fromLocalFile(saveDialog.path)}));
        QVERIFY(mainWindow.isEnabled());
        flushDeletes();
        QVERIFY(window.isNull());

        QFile::remove(saveDialog.path);
        QVERIFY(download(QStringLiteral("/open.txt")));
        Button(window, "FolderButton")->click();
        QCOMPARE(catcher.urls.last(), QUrl::fromLocalFile(dir.path() + QLatin1Char('/')));
        flushDeletes();

        // The file went away after the download: said so, and the window closes.
        QVERIFY(download(QStringLiteral("/open.txt")));
        QFile::remove(saveDialog.path);
        const int opened = int(catcher.urls.size());
        Button(window, "OpenButton")->click();
        QCOMPARE(answerer.asked.last(), QStringLiteral("无法打开文件"));
        QCOMPARE(answerer.questions.last().file, saveDialog.path);
        QCOMPARE(catcher.urls.size(), opened);
        QVERIFY(mainWindow.isEnabled());
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    }

    void realSaveDialog()
    {
        server.addGeneratedFile(QStringLiteral("/d/Song.MP3"), 5000);
        testing::TemporaryUserFolders user;
        QVERIFY(QDir().mkpath(user.music()));
        const QString myMusic = InitialSaveFolder();
        QCOMPARE(myMusic, QDir(user.music()).filePath(QStringLiteral("My Music")));
        const bool made = QDir().mkpath(myMusic);
        QVERIFY(made);
        const QString chosen = dir.filePath(QStringLiteral("chosen.mp3"));
        QStringList seen;
        extraSetup = [&](frmDownload *w) {
            w->setSaveDialog(nullptr);  // the window's own dialog
            testing::WhenModal<QFileDialog>(qApp, [&](QFileDialog *d) {
                seen << d->windowTitle() << d->nameFilters().join(QLatin1Char('|'))
                     << QDir(d->directory()).absolutePath() << QString::number(d->acceptMode() == QFileDialog::AcceptSave);
                testing::SaveScreenshot(d, QStringLiteral("frmdownload-saveas"));
                d->selectFile(chosen);
                QMetaObject::invokeMethod(d, "accept");
            });
        };
        QVERIFY(download(QStringLiteral("/d/Song.MP3")));
        QCOMPARE(seen, QStringList({QStringLiteral("另存为"), QStringLiteral("MP3 格式文件 (*.mp3)"),
                                    QDir(myMusic).absolutePath(), QStringLiteral("1")}));
        QCOMPARE(testing::Sha256OfFile(chosen), HttpServer::GeneratedSha256(5000));
        window->close();
        flushDeletes();

        // Cancelled: nothing is fetched, and the download ends unfinished.
        server.clearRequests();
        extraSetup = [&](frmDownload *w) {
            w->setSaveDialog(nullptr);
            testing::WhenModal<QFileDialog>(qApp, [](QFileDialog *d) { d->reject(); });
        };
        QVERIFY(!download(QStringLiteral("/d/Song.MP3")));
        QCOMPARE(answerer.asked, QStringList({QStringLiteral("下载未完成")}));
        QCOMPARE(server.requests().size(), 1);  // the probe only
        QDir(myMusic).removeRecursively();
    }

    void realProblemDialogs()
    {
        // "文件已存在" and "服务器连接重置" put to the user in the real dialogs.
        const QString path = QStringLiteral("/dialogs.bin");
        server.addGeneratedFile(path, 200000);
        Rule r;
        r.path = path;
        r.when = Rule::When::RangeFromNonZero;
        r.count = 1;
        r.dropAfter = 50000;
        server.addRule(r);
        saveDialog.path = dir.filePath(QStringLiteral("dialogs.bin"));
        {
            QByteArray part(20000, Qt::Uninitialized);
            HttpServer::GeneratedBytes(part.data(), 0, part.size());
            QFile f(saveDialog.path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(part);
        }
        QStringList problems;
        QMetaObject::Connection c = connect(AlertDialogs::instance(), &AlertDialogs::aboutToShow, this, [&](QDialog *d) {
            auto *p = qobject_cast<ProblemDialog *>(d);
            QVERIFY(p);
            problems << p->lblAbend()->text();
            QTimer::singleShot(0, p, [p] { p->cmdNext()->click(); });  // the recommended first choice
        });
        extraSetup = [](frmDownload *w) { w->setProblemAnswerer(nullptr); };
        QVERIFY(download(path));
        disconnect(c);
        QCOMPARE(problems, QStringList({QStringLiteral("文件已存在"), QStringLiteral("服务器连接重置")}));
        QCOMPARE(testing::Sha256OfFile(saveDialog.path), HttpServer::GeneratedSha256(200000));
    }
};

QTEST_MAIN(tst_FrmDownload)
#include "tst_frmdownload.moc"
