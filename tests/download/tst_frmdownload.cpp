// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// The download window driven as a user would (real widgets, the loopback
// server, the real Save-As dialog); then its progress bar, the problem
// dialogs and the Folder button's request to a file manager on their own.
#include "download/ui/alerts.h"
#include "download/ui/problemdialog.h"
#include "common/core/version.h"
#include "download/core/engine.h"
#include "download/core/progress.h"
#include "download/core/savelocation.h"
#include "download/ui/frmdownload.h"
#include "download/ui/seekbar.h"
#include "download/ui/showinfolder.h"
#include "httpserver.h"
#include "doubles.h"
#include "testsupport.h"

#include <QDBusContext>
#include <QDBusServer>
#include <QtTest>
#include <QtWidgets>

using namespace velmora;
using velmora::httpd::HttpServer;
using velmora::httpd::Rule;

namespace {

QPushButton *Button(const QObject *window, const char *name) { return testing::Control<QPushButton>(window, name); }
QLabel *Label(const QObject *window, const char *name) { return testing::Control<QLabel>(window, name); }
QLineEdit *Box(const QObject *window, const char *name) { return testing::Control<QLineEdit>(window, name); }

// The rate shown ("12.5 KB/秒") in bytes per second; -1 when unreadable.
double rateOf(const QString &text)
{
    const QStringList parts = text.section(QLatin1Char('/'), 0, 0).split(QLatin1Char(' '));
    static const QStringList units = {QStringLiteral("bytes"), QStringLiteral("KB"), QStringLiteral("MB")};
    const int unit = parts.size() == 2 ? int(units.indexOf(parts[1])) : -1;
    return unit < 0 ? -1 : parts[0].toDouble() * double(1 << (10 * unit));
}

// Opens a problem dialog through `open`; once its modal loop runs, `act` answers it.
int Drive(const std::function<int()> &open, const std::function<void(ProblemDialog *)> &act)
{
    const auto c = QObject::connect(AlertDialogs::instance(), &AlertDialogs::aboutToShow, [&](QDialog *d) {
        auto *dialog = qobject_cast<ProblemDialog *>(d);
        QTimer::singleShot(0, dialog, [dialog, act] {
            act(dialog);
            if (dialog->isVisible())  // a failed check inside act must not leave the loop waiting
                dialog->reject();
        });
    });
    const int result = open();
    QObject::disconnect(c);
    return result;
}

QImage Grab(SeekBar &bar)
{
    return bar.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// Columns holding something other than the background within rows yFrom..yTo.
QList<int> PaintedColumns(const SeekBar &bar, const QImage &img, int yFrom = 0, int yTo = kSeekHeight - 1)
{
    const QRgb bg = bar.palette().window().color().rgb();
    QList<int> cols;
    for (int x = 0; x < img.width(); ++x) {
        int y = yFrom;
        while (y <= yTo && img.pixel(x, y) == bg)
            ++y;
        if (y <= yTo)
            cols << x;
    }
    return cols;
}

void Move(QWidget *w, QPointF pos)
{
    QMouseEvent ev(QEvent::MouseMove, pos, w->mapToGlobal(pos), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &ev);
}

// org.freedesktop.FileManager1 as file managers offer it; only ShowItems is used.
class FakeFileManager : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
public:
    QList<QStringList> shown;
    bool silent = false;  // takes the call and never answers

public slots:
    void ShowItems(const QStringList &uris, const QString &)
    {
        if (silent)
            setDelayedReply(true);
        else
            shown << uris;
    }
};

// Runs ShowInFolder and checks how the file was shown, once that is known.
void ExpectShown(const QString &file, const QDBusConnection &bus, int timeoutMs, FolderShown expected)
{
    auto result = std::make_shared<std::optional<FolderShown>>();
    ShowInFolderOptions options;
    options.bus = bus;
    options.timeoutMs = timeoutMs;
    options.done = [result](FolderShown shown) { *result = shown; };
    ShowInFolder(file, options);
    QTRY_VERIFY_WITH_TIMEOUT(result->has_value(), 30000);
    QCOMPARE(**result, expected);
}

const QString kContinue = QStringLiteral("选择 \"续传已存在的文件\" 可解决文件中的问题. Velmora 将继续完成未完成的下载.");
const QString kIgnoreCancels = QStringLiteral("选择 \"忽略此问题\" 不会解决文件中任何的问题. Velmora 将取消当前下载任务.");

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
    testing::DesktopUrlCatcher catcher;
    QPointer<frmDownload> window;
    std::function<void(frmDownload *)> extraSetup;

    // As the main window does it: disable itself, then a fresh download window.
    bool download(const QString &path)
    {
        mainWindow.setEnabled(false);
        auto *w = new frmDownload(&mainWindow);
        window = w;
        w->setSaveDialog(&saveDialog);
        w->setProblemAnswerer(&answerer);
        if (extraSetup)
            extraSetup(w);
        return w->DownloadFile(server.url(path), QString(), QString());
    }

    // A generated file on the server, saved under its own name in a fresh place.
    QString serve(const QString &path, qint64 size)
    {
        server.addGeneratedFile(path, size);
        saveDialog.path = dir.filePath(path.section(QLatin1Char('/'), -1));
        QFile::remove(saveDialog.path);
        return path;
    }

    // The window's texts and whether Open and Folder are enabled, in the order of its layout.
    static QStringList shown(const frmDownload *w)
    {
        return {w->windowTitle(), Box(w, "SourceLabel")->text(), Box(w, "ToLabel")->text(),
                Label(w, "StatusLabel")->text(), Box(w, "CompleteLabel")->text(),
                Label(w, "EstimatedTimeLeft")->text(), Label(w, "TimeLabel")->text(),
                QString::number(Button(w, "OpenButton")->isEnabled() + Button(w, "FolderButton")->isEnabled()),
                Button(w, "CancelButton")->text()};
    }

    void closedAndGone()
    {
        QVERIFY(mainWindow.isEnabled());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(window.isNull());
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
        catcher.urls.clear();
        extraSetup = nullptr;
    }
    void cleanup()
    {
        if (window)
            window->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void completeDownloadStaysOpen()
    {
        const qint64 size = 600 * 1024;
        serve(QStringLiteral("/music/Theme.mp3"), size);
        server.setDefaultRate(300 * 1024);
        QStringList atStart;
        bool halfway = false;
        extraSetup = [&](frmDownload *w) {
            atStart = shown(w);
            connect(w->engine(), &DownloadEngine::bodyProgress, w, [&, w](qint64 received, qint64 total) {
                if (halfway || received * 2 < total)
                    return;
                halfway = true;
                QVERIFY(Label(w, "TimeLabel")->text().contains(QStringLiteral("已复制")));
                QVERIFY(testing::Control<SeekBar>(w, "picSeek")->seekLength() > 0);
                testing::SaveScreenshot(w, QStringLiteral("frmdownload-progress"));
            });
        };
        QVERIFY(download(QStringLiteral("/music/Theme.mp3")));
        QCOMPARE(atStart, QStringList({kProductTitle, "", "", "", "文件下载", "估计剩余时间:", "", "0", "取消"}));
        QVERIFY(halfway);
        QCOMPARE(testing::Sha256OfFile(saveDialog.path), HttpServer::GeneratedSha256(size));
        // It stays open. The server's rate makes the body last over a second: the clock ticked.
        QVERIFY(window && window->isVisible());
        const qint64 elapsed = window->state().varElapsed;
        QVERIFY(elapsed >= 1);
        QCOMPARE(shown(window), QStringList({kProductTitle, "Theme.mp3 来自 Quillon", saveDialog.path, "保存",
                                             "100% 已完成 (Theme.mp3)", "下载完毕:", CompletedTimeText(size, elapsed),
                                             "2", "关闭"}));
        // A long path shows only its end: the tip holds all of it.
        QCOMPARE(Box(window, "ToLabel")->toolTip(), saveDialog.path);
        testing::SaveScreenshot(window, QStringLiteral("frmdownload-complete"));
        Button(window, "OpenButton")->click();
        QCOMPARE(catcher.urls, QList<QUrl>({QUrl::fromLocalFile(saveDialog.path)}));
        closedAndGone();
        QVERIFY(answerer.asked.isEmpty());

        // A fast download: the figures reach the screen at the display's pace,
        // the last ones by the end.
        const qint64 fast = 3 * 1024 * 1024 + 17;
        server.setDefaultRate(0);
        QVERIFY(download(serve(QStringLiteral("/fast/Final.bin"), fast)));
        QCOMPARE(testing::Sha256OfFile(saveDialog.path), HttpServer::GeneratedSha256(fast));
        QCOMPARE(Box(window, "CompleteLabel")->text(), QStringLiteral("100% 已完成 (Final.bin)"));
        QCOMPARE(Label(window, "TimeLabel")->text(), CompletedTimeText(fast, window->state().varElapsed));
        QCOMPARE(testing::Control<SeekBar>(window, "picSeek")->seekLength(), kSeekWidth - kKnobWidth);
        testing::SaveScreenshot(window, QStringLiteral("frmdownload-final"));
        Button(window, "FolderButton")->click();  // no session bus here: the folder opens at once
        QCOMPARE(catcher.urls.last(), QUrl::fromLocalFile(dir.path() + QLatin1Char('/')));
        closedAndGone();
    }

    // The server sends part of the body, then nothing, and keeps the
    // connection open: on each tick of the window's clock the rate shown falls
    // and the time left grows, instead of standing still. Then the user stops,
    // and the window goes only after the engine has returned.
    void stallThenStop_data()
    {
        QTest::addColumn<int>("how");
        QTest::newRow("Cancel button") << 0;
        QTest::newRow("Escape") << 1;
        QTest::newRow("close box") << 2;
    }
    void stallThenStop()
    {
        QFETCH(int, how);
        const QString path = serve(QStringLiteral("/stall-%1.bin").arg(how), 1024 * 1024);
        const qint64 sent = 300 * 1024;
        server.addRule({.path = path, .when = Rule::When::WithRange, .stallAfter = sent});
        QStringList rates, timesLeft;
        QString statusAtStop;
        extraSetup = [&](frmDownload *w) {
            connect(&w->engine()->TimerTime, &QTimer::timeout, w, [&, w] {
                // Counted once all that was sent is in, and the server's log
                // says it has sent nothing since.
                if (w->engine()->Received() != sent || !statusAtStop.isEmpty())
                    return;
                QCOMPARE(server.requestsFor(path).last().bodyBytesSent, sent);
                // The first such tick may still show the last chunk's figures;
                // the two after it are compared.
                rates << Label(w, "RateLabel")->text();
                timesLeft << Label(w, "TimeLabel")->text();
                if (rates.size() < 3)
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
        QCOMPARE(rates.size(), 3);
        // While nothing arrives the rate falls, without reaching zero.
        QVERIFY2(rateOf(rates[1]) > rateOf(rates[2]) && rateOf(rates[2]) > 0, qPrintable(rates.join(QLatin1Char(' '))));
        QVERIFY2(timesLeft[1] != timesLeft[2], qPrintable(timesLeft[1]));
        QCOMPARE(statusAtStop, QStringLiteral("取消"));
        QVERIFY(window && window->isHidden());
        closedAndGone();
    }

    // The file went away after the download: said so, and the window closes.
    void openingAFileThatIsGone()
    {
        QVERIFY(download(serve(QStringLiteral("/gone.txt"), 3000)));
        QCOMPARE(testing::Sha256OfFile(saveDialog.path), HttpServer::GeneratedSha256(3000));
        QVERIFY(QFile::remove(saveDialog.path));
        Button(window, "OpenButton")->click();
        QCOMPARE(answerer.asked, QStringList({QStringLiteral("无法打开文件")}));
        QCOMPARE(answerer.questions.last().file, saveDialog.path);
        QVERIFY(catcher.urls.isEmpty());
        closedAndGone();
    }

    // The file manager answers on a private peer-to-peer D-Bus connection:
    // nothing real is asked or started.
    void folderThroughTheFileManager()
    {
        const QString file = dir.filePath(QStringLiteral("星空 回廊#1.mkv"));  // a name a URI must encode
        QVERIFY(testing::WriteFile(file, QByteArray()));
        QDBusServer bus(QStringLiteral("unix:dir=") + dir.path());
        QVERIFY(bus.isConnected());
        FakeFileManager manager;
        bool joined = false;
        connect(&bus, &QDBusServer::newConnection, this, [&](QDBusConnection connection) {
            joined = connection.registerObject(QStringLiteral("/org/freedesktop/FileManager1"), &manager,
                                               QDBusConnection::ExportAllSlots);
        });
        QDBusConnection caller = QDBusConnection::connectToPeer(bus.address(), QStringLiteral("caller"));
        QVERIFY(caller.isConnected());
        QTRY_VERIFY_WITH_TIMEOUT(joined, 30000);

        ExpectShown(file, caller, 60000, FolderShown::FileSelected);
        const QString encoded = QStringLiteral("/%E6%98%9F%E7%A9%BA%20%E5%9B%9E%E5%BB%8A%231.mkv");
        QCOMPARE(manager.shown, QList<QStringList>({{QUrl::fromLocalFile(dir.path()).toString() + encoded}}));
        QVERIFY(catcher.urls.isEmpty());

        // A file manager that takes the call but never answers: the folder
        // is opened once the call has timed out.
        manager.silent = true;
        ExpectShown(file, caller, 200, FolderShown::FolderOpened);
        QCOMPARE(catcher.urls, QList<QUrl>({QUrl::fromLocalFile(dir.path() + QLatin1Char('/'))}));
        QDBusConnection::disconnectFromPeer(QStringLiteral("caller"));
    }

    void realSaveDialog()
    {
        server.addGeneratedFile(QStringLiteral("/d/Song.MP3"), 5000);
        testing::TemporaryUserFolders user;
        const QString myMusic = QDir(user.music()).filePath(QStringLiteral("My Music"));
        QVERIFY(QDir().mkpath(myMusic));
        QString chosen = dir.filePath(QStringLiteral("chosen.mp3"));  // none: Cancel
        QStringList seen;
        extraSetup = [&](frmDownload *w) {
            w->setSaveDialog(nullptr);  // the window's own dialog
            testing::WhenModal<QFileDialog>(qApp, [&](QFileDialog *d) {
                seen = QStringList{d->windowTitle(), d->nameFilters().join(QLatin1Char('|')),
                                   QDir(d->directory()).absolutePath(),
                                   QString::number(d->acceptMode() == QFileDialog::AcceptSave)};
                testing::SaveScreenshot(d, QStringLiteral("frmdownload-saveas"));
                d->selectFile(chosen);
                QMetaObject::invokeMethod(d, chosen.isEmpty() ? "reject" : "accept");
            });
        };
        QVERIFY(download(QStringLiteral("/d/Song.MP3")));
        QCOMPARE(seen, QStringList({QStringLiteral("另存为"), QStringLiteral("MP3 格式文件 (*.mp3)"),
                                    QDir(myMusic).absolutePath(), QStringLiteral("1")}));
        QCOMPARE(testing::Sha256OfFile(chosen), HttpServer::GeneratedSha256(5000));
        window->close();

        // Cancelled: nothing is fetched, and the download ends unfinished.
        server.clearRequests();
        chosen.clear();
        QVERIFY(!download(QStringLiteral("/d/Song.MP3")));
        QCOMPARE(answerer.asked, QStringList({QStringLiteral("下载未完成")}));
        QCOMPARE(server.requests().size(), 1);  // the probe only
    }

    // The bar only shows: an arrow pointer, and the pointer over it changes nothing.
    void seekBarPainting()
    {
        SeekBar bar;
        QCOMPARE(bar.cursor().shape(), Qt::ArrowCursor);
        bar.show();
        QVERIFY(QTest::qWaitForWindowExposed(&bar));
        // The band is painted exactly up to the knob, whose picture ends 140 px
        // right of its place (at the end: the right edge).
        for (const auto &[progress, knobX] : {std::pair(0.6f, 170), std::pair(1.0f, 283)}) {
            bar.setProgress(progress);
            const QImage img = Grab(bar);
            QCOMPARE(PaintedColumns(bar, img).last(), knobX + 140);
            QCOMPARE(PaintedColumns(bar, img, SeekBar::kBarTopPx, SeekBar::kBarTopPx + 8).at(knobX - 1), knobX - 1);
            testing::SaveScreenshot(&bar, QStringLiteral("picSeek-%1").arg(qRound(progress * 100)));
        }

        bar.setProgress(0.5f);
        const QImage normal = Grab(bar);
        Move(&bar, QPointF(50, 50));
        QCOMPARE(Grab(bar), normal);
        QVERIFY(QWidget::mouseGrabber() != &bar);
    }

    // The file dialog (flag = blnReset) or the general one (flag = blnOfferCancel);
    // choice i is answered with i + 1.
    void problemDialogs_data()
    {
        QTest::addColumn<bool>("fileDialog");
        QTest::addColumn<bool>("flag");
        QTest::addColumn<QString>("abend");
        QTest::addColumn<QStringList>("choices");
        QTest::addColumn<QStringList>("descriptions");
        const QString resume = QStringLiteral("续传已存在的文件. (建议采用)");
        QTest::newRow("frmFileAlert-exists")
            << true << false << "文件已存在" << QStringList{resume, "重新下载已存在的文件.", "忽略此问题."}
            << QStringList{kContinue, "选择 \"重新下载已存在的文件\" 可解决文件中的问题. Velmora 将删除已存在的文件, 并重新下载.",
                           kIgnoreCancels};
        QTest::newRow("frmFileAlert-reset") << true << true << "服务器连接重置" << QStringList{resume, "忽略此问题."}
                                            << QStringList{kContinue, kIgnoreCancels};
        QTest::newRow("frmAlert-cancel")
            << false << true << "服务器不支持续传" << QStringList{"忽略此问题. (建议采用)", "取消下载任务."}
            << QStringList{"选择 \"忽略此问题\" 不会解决文件中任何的问题. Velmora 将尝试重新下载当前文件.",
                           "选择 \"取消下载任务.\" 不会解决文件中任何的问题. Velmora 将取消当前下载任务."};
        QTest::newRow("frmAlert-ignore") << false << false << "无法解析域名" << QStringList{"忽略此问题. (建议采用)"}
                                         << QStringList{"选择 \"忽略此问题\" 不会解决文件中任何的问题. 类似的情况还可能再次出现."};
    }
    void problemDialogs()
    {
        QFETCH(bool, fileDialog);
        QFETCH(bool, flag);
        QFETCH(QString, abend);
        QFETCH(QStringList, choices);
        QFETCH(QStringList, descriptions);
        QSignalSpy beeps(AlertDialogs::instance(), &AlertDialogs::beeped);
        const auto open = [&] {
            return fileDialog ? int(ShowFileAlert(QStringLiteral("/home/u/My Music/a b.mp3"), flag))
                              : int(ShowAlert(abend, QStringLiteral("C:\\music\\a b.mp3"), flag));
        };
        QStringList shownChoices, shownDescriptions;
        const auto look = [&](ProblemDialog *d) {
            QCOMPARE(d->windowTitle(), QStringLiteral("Velmora 1.13"));
            QCOMPARE(d->lblAbend()->text(), abend);
            QCOMPARE(d->txtFile()->text(), QStringLiteral("a b.mp3"));
            QCOMPARE(d->focusWidget(), d->comOperation());
            QCOMPARE(d->lblAbend()->width(), d->lblAbend()->fontMetrics().horizontalAdvance(abend) + 2);
            QVERIFY(d->cmdNext()->isDefault() && !d->comOperation()->isEditable());
            testing::SaveScreenshot(d, QLatin1String(QTest::currentDataTag()));
            for (int i = 0; i < d->comOperation()->count(); ++i) {
                d->comOperation()->setCurrentIndex(i);
                shownChoices << d->comOperation()->currentText();
                shownDescriptions << d->lblDes()->text();
            }
            d->comOperation()->setCurrentIndex(0);
            d->cmdNext()->click();
        };
        QCOMPARE(Drive(open, look), 1);
        QCOMPARE(shownChoices, choices);
        QCOMPARE(shownDescriptions, descriptions);

        const int last = int(choices.size()) - 1;
        for (int i = 1; i <= last; ++i) {
            const auto byKeys = [i](ProblemDialog *d) {
                for (int k = 0; k < i; ++k)
                    QTest::keyClick(d->focusWidget(), Qt::Key_Down);
                QTest::keyClick(d->focusWidget(), Qt::Key_Return);
            };
            QCOMPARE(Drive(open, byKeys), i + 1);
        }
        // The close box: the file dialog answers with the selection, the general one with 0.
        const auto closeOnLast = [last](ProblemDialog *d) {
            d->comOperation()->setCurrentIndex(last);
            d->close();
        };
        QCOMPARE(Drive(open, closeOnLast), fileDialog ? last + 1 : 0);
        // Each opening starts afresh: the answer given before does not leak in.
        QCOMPARE(Drive(open, [](ProblemDialog *d) { d->close(); }), fileDialog ? 1 : 0);
        QCOMPARE(beeps.count(), last + 3);
    }
};

QTEST_MAIN(tst_FrmDownload)
#include "tst_frmdownload.moc"
