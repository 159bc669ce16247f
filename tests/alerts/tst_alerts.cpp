// The two download problem dialogs, driven through their open procedures.
#include "alerts/ui/alerts.h"
#include "alerts/ui/frmalert.h"
#include "alerts/ui/frmfilealert.h"
#include "common/core/globals.h"
#include "testsupport.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <functional>

using namespace velmora;

namespace {

struct Seen
{
    QString objectName;
    QString title;
    QStringList choices;
    QStringList descriptions;   // lblDes for each position, in order
    QString abend;
    QString file;
    int codeAtOpen = -1;        // intAlertResult once the window is shown
    bool resetFlag = false;
    bool cancelFlag = false;
    bool focusOnList = false;
};

// Opens a dialog through `open` and, once its modal loop runs, records what
// it shows and then lets `act` answer it.
int Drive(const std::function<int()> &open, const std::function<void(ProblemDialog *)> &act, Seen *seen = nullptr)
{
    QMetaObject::Connection c = QObject::connect(
        AlertDialogs::instance(), &AlertDialogs::aboutToShow, [&](QDialog *d) {
            auto *dialog = qobject_cast<ProblemDialog *>(d);
            QTimer::singleShot(0, dialog, [dialog, seen, act] {
                if (seen) {
                    seen->objectName = dialog->objectName();
                    seen->title = dialog->windowTitle();
                    seen->abend = dialog->lblAbend()->text();
                    seen->file = dialog->txtFile()->text();
                    seen->codeAtOpen = intAlertResult;
                    seen->resetFlag = blnConnectionReset;
                    seen->cancelFlag = blnCanCancel;
                    seen->focusOnList = dialog->focusWidget() == dialog->comOperation();
                    QComboBox *list = dialog->comOperation();
                    for (int i = 0; i < list->count(); ++i)
                        seen->choices << list->itemText(i);
                    for (int i = 0; i < list->count(); ++i) {
                        list->setCurrentIndex(i);
                        seen->descriptions << dialog->lblDes()->text();
                    }
                    list->setCurrentIndex(0);
                }
                act(dialog);
            });
        });
    const int result = open();
    QObject::disconnect(c);
    return result;
}

std::function<void(ProblemDialog *)> Choose(int position)
{
    return [position](ProblemDialog *d) {
        d->comOperation()->setCurrentIndex(position);
        d->cmdNext()->click();
    };
}

std::function<void(ProblemDialog *)> CloseBoxAfterChoosing(int position)
{
    return [position](ProblemDialog *d) {
        d->comOperation()->setCurrentIndex(position);
        d->close();
    };
}

const QString kContinue = QStringLiteral("选择 \"续传已存在的文件\" 可解决文件中的问题. Velmora 将继续完成未完成的下载.");
const QString kAgain = QStringLiteral("选择 \"重新下载已存在的文件\" 可解决文件中的问题. Velmora 将删除已存在的文件, 并重新下载.");
const QString kIgnoreCancels = QStringLiteral("选择 \"忽略此问题\" 不会解决文件中任何的问题. Velmora 将取消当前下载任务.");

} // namespace

class TestAlerts : public QObject
{
    Q_OBJECT
private slots:
    void init() { ResetGlobals(); }
    void cleanup() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    void fileDialogModes_data();
    void fileDialogModes();
    void fileDialogAnswers_data();
    void fileDialogAnswers();
    void generalDialogModes_data();
    void generalDialogModes();
    void generalDialogAnswers_data();
    void generalDialogAnswers();
    void closeBox();
    void fileBoxShowsTheName_data();
    void fileBoxShowsTheName();
    void keyboardChoosesAndConfirms();
    void oneBeepPerOpening();
    void layout();
    void answererOpensTheDialogs();
    void screenshots();
};

void TestAlerts::fileDialogModes_data()
{
    QTest::addColumn<bool>("reset");
    QTest::addColumn<QString>("abend");
    QTest::addColumn<QStringList>("choices");
    QTest::addColumn<QStringList>("descriptions");

    QTest::newRow("file exists")
        << false << "文件已存在"
        << QStringList{"续传已存在的文件. (建议采用)", "重新下载已存在的文件.", "忽略此问题."}
        << QStringList{kContinue, kAgain, kIgnoreCancels};
    QTest::newRow("connection reset")
        << true << "服务器连接重置" << QStringList{"续传已存在的文件. (建议采用)", "忽略此问题."}
        << QStringList{kContinue, kIgnoreCancels};
}

void TestAlerts::fileDialogModes()
{
    QFETCH(bool, reset);
    QFETCH(QString, abend);
    QFETCH(QStringList, choices);
    QFETCH(QStringList, descriptions);

    Seen seen;
    const int code = Drive([&] { return ShowFileAlert(QStringLiteral("/tmp/a.mp3"), reset); },
                           [](ProblemDialog *d) { d->cmdNext()->click(); }, &seen);
    QCOMPARE(seen.objectName, QStringLiteral("frmFileAlert"));
    QCOMPARE(seen.title, QStringLiteral("Velmora 1.13"));
    QCOMPARE(seen.abend, abend);
    QCOMPARE(seen.choices, choices);
    QCOMPARE(seen.descriptions, descriptions);
    QCOMPARE(seen.codeAtOpen, 1); // the first choice is selected and recorded at load
    QCOMPARE(seen.resetFlag, reset);
    QVERIFY(seen.focusOnList);
    QCOMPARE(code, 1);
    QCOMPARE(intAlertResult, 0);
    QCOMPARE(blnConnectionReset, false);
}

void TestAlerts::fileDialogAnswers_data()
{
    QTest::addColumn<bool>("reset");
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("code");

    QTest::newRow("exists: continue") << false << 0 << 1;
    QTest::newRow("exists: again") << false << 1 << 2;
    QTest::newRow("exists: ignore") << false << 2 << 3;
    QTest::newRow("reset: continue") << true << 0 << 1;
    QTest::newRow("reset: ignore is 2") << true << 1 << 2;
}

void TestAlerts::fileDialogAnswers()
{
    QFETCH(bool, reset);
    QFETCH(int, position);
    QFETCH(int, code);
    QCOMPARE(Drive([&] { return ShowFileAlert(QStringLiteral("/tmp/a.mp3"), reset); }, Choose(position)), code);
    QCOMPARE(intAlertResult, 0);
    QCOMPARE(blnConnectionReset, false);
}

void TestAlerts::generalDialogModes_data()
{
    QTest::addColumn<bool>("offerCancel");
    QTest::addColumn<QStringList>("choices");
    QTest::addColumn<QStringList>("descriptions");

    QTest::newRow("cancel offered")
        << true << QStringList{"忽略此问题. (建议采用)", "取消下载任务."}
        << QStringList{"选择 \"忽略此问题\" 不会解决文件中任何的问题. Velmora 将尝试重新下载当前文件.",
                       "选择 \"取消下载任务.\" 不会解决文件中任何的问题. Velmora 将取消当前下载任务."};
    QTest::newRow("no cancel") << false << QStringList{"忽略此问题. (建议采用)"}
                               << QStringList{"选择 \"忽略此问题\" 不会解决文件中任何的问题. 类似的情况还可能再次出现."};
}

void TestAlerts::generalDialogModes()
{
    QFETCH(bool, offerCancel);
    QFETCH(QStringList, choices);
    QFETCH(QStringList, descriptions);

    Seen seen;
    const QString problem = offerCancel ? QStringLiteral("服务器不支持续传") : QStringLiteral("无法解析域名");
    Drive([&] { return ShowAlert(problem, QStringLiteral("http://h/d/x.rar"), offerCancel); },
          [](ProblemDialog *d) { d->cmdNext()->click(); }, &seen);
    QCOMPARE(seen.objectName, QStringLiteral("frmAlert"));
    QCOMPARE(seen.title, QStringLiteral("Velmora 1.13"));
    QCOMPARE(seen.abend, problem);
    QCOMPARE(seen.choices, choices);
    QCOMPARE(seen.descriptions, descriptions);
    QCOMPARE(seen.cancelFlag, offerCancel);
    QCOMPARE(seen.codeAtOpen, 0); // this dialog answers only through "下一步>"
    QVERIFY(seen.focusOnList);
    QCOMPARE(blnCanCancel, false);
}

void TestAlerts::generalDialogAnswers_data()
{
    QTest::addColumn<bool>("offerCancel");
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("code");

    QTest::newRow("cancel offered: ignore") << true << 0 << 1;
    QTest::newRow("cancel offered: cancel") << true << 1 << 2;
    QTest::newRow("no cancel: ignore") << false << 0 << 1;
}

void TestAlerts::generalDialogAnswers()
{
    QFETCH(bool, offerCancel);
    QFETCH(int, position);
    QFETCH(int, code);
    QCOMPARE(Drive([&] { return ShowAlert(QStringLiteral("无法续传"), QString(), offerCancel); }, Choose(position)),
             code);
    QCOMPARE(intAlertResult, 0);
    QCOMPARE(blnCanCancel, false);
}

void TestAlerts::closeBox()
{
    // The file dialog answers with whatever is selected when it is closed.
    QCOMPARE(Drive([] { return ShowFileAlert(QStringLiteral("a"), false); }, CloseBoxAfterChoosing(0)), 1);
    QCOMPARE(Drive([] { return ShowFileAlert(QStringLiteral("a"), false); }, CloseBoxAfterChoosing(2)), 3);
    QCOMPARE(Drive([] { return ShowFileAlert(QStringLiteral("a"), true); }, CloseBoxAfterChoosing(1)), 2);
    QCOMPARE(blnConnectionReset, false);

    // The general dialog closed without "下一步>" gives no answer, even after a
    // choice, and even if a stale answer was left behind.
    QCOMPARE(Drive([] { return ShowAlert(QStringLiteral("无法续传"), QString(), true); }, CloseBoxAfterChoosing(1)),
             0);
    intAlertResult = 2;
    QCOMPARE(Drive([] { return ShowAlert(QStringLiteral("下载未完成"), QString(), false); },
                   CloseBoxAfterChoosing(0)),
             0);
    QCOMPARE(intAlertResult, 0);
    QCOMPARE(blnCanCancel, false);
}

void TestAlerts::fileBoxShowsTheName_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("shown");

    QTest::newRow("local path") << "/home/u/My Music/a b.mp3" << "a b.mp3";
    QTest::newRow("windows-style path") << "C:\\music\\a.mp3" << "a.mp3";
    QTest::newRow("address") << "http://h:81/d/x.rar" << "x.rar";
    QTest::newRow("bare name") << "plain name" << "plain name";
}

void TestAlerts::fileBoxShowsTheName()
{
    QFETCH(QString, path);
    QFETCH(QString, shown);
    Seen a;
    Seen b;
    Drive([&] { return ShowFileAlert(path, false); }, Choose(0), &a);
    Drive([&] { return ShowAlert(QStringLiteral("文件不存在"), path, false); }, Choose(0), &b);
    QCOMPARE(a.file, shown);
    QCOMPARE(b.file, shown);
}

void TestAlerts::keyboardChoosesAndConfirms()
{
    // Focus is on the list: arrow keys pick, Enter presses "下一步>".
    const auto keys = [](int downs) {
        return [downs](ProblemDialog *d) {
            QWidget *focus = d->focusWidget();
            for (int i = 0; i < downs; ++i)
                QTest::keyClick(focus, Qt::Key_Down);
            QTest::keyClick(focus, Qt::Key_Return);
        };
    };
    QCOMPARE(Drive([] { return ShowFileAlert(QStringLiteral("a"), false); }, keys(1)), 2);
    QCOMPARE(Drive([] { return ShowFileAlert(QStringLiteral("a"), false); }, keys(2)), 3);
    QCOMPARE(Drive([] { return ShowAlert(QStringLiteral("无法续传"), QString(), true); }, keys(1)), 2);
    QCOMPARE(Drive([] { return ShowAlert(QStringLiteral("无法续传"), QString(), true); }, keys(0)), 1);
}

void TestAlerts::oneBeepPerOpening()
{
    QSignalSpy beeps(AlertDialogs::instance(), &AlertDialogs::beeped);
    Drive([] { return ShowFileAlert(QStringLiteral("a"), false); }, Choose(1));
    QCOMPARE(beeps.count(), 1);
    Drive([] { return ShowAlert(QStringLiteral("无法续传"), QString(), true); }, Choose(1));
    QCOMPARE(beeps.count(), 2);
}

void TestAlerts::layout()
{
    for (int kind = 0; kind < 2; ++kind) {
        QRect abend;
        QSize client;
        bool isDefault = false;
        QMap<QString, QRect> geometry;
        const auto inspect = [&](ProblemDialog *d) {
            client = d->size();
            abend = d->lblAbend()->geometry();
            isDefault = d->cmdNext()->isDefault();
            for (const char *name : {"picTop", "imgAlert", "lblDescription", "txtFile", "comOperation", "lblDes",
                                     "cmdNext", "lblAction"}) {
                if (auto *w = d->findChild<QWidget *>(QString::fromLatin1(name)))
                    geometry.insert(QString::fromLatin1(name), w->geometry());
            }
            QVERIFY(!d->comOperation()->isEditable());
            QVERIFY(d->lblDes()->wordWrap());
            QCOMPARE(d->cmdNext()->text(), QStringLiteral("下一步>"));
            d->cmdNext()->click();
        };
        if (kind == 0)
            Drive([] { return ShowFileAlert(QStringLiteral("a"), false); }, inspect);
        else
            Drive([] { return ShowAlert(QStringLiteral("无法获得权限"), QString(), false); }, inspect);

        QCOMPARE(client, QSize(450, 322));
        QVERIFY(isDefault);
        QCOMPARE(geometry.value("picTop"), QRect(0, 0, 450, 61));
        QCOMPARE(geometry.value("imgAlert"), QRect(12, 68, 41, 34));
        QCOMPARE(geometry.value("lblDescription"), QRect(60, 68, 369, 41));
        QCOMPARE(geometry.value("txtFile"), QRect(60, 120, 365, 21));
        // One-line labels keep place and width; they may be taller than 13 where the font needs it.
        QCOMPARE(geometry.value("lblAction").topLeft(), QPoint(12, 192));
        QCOMPARE(geometry.value("lblAction").width(), 220);
        QVERIFY(geometry.value("lblAction").height() >= 13);
        QCOMPARE(geometry.value("comOperation"), QRect(60, 212, 365, 21));
        QCOMPARE(geometry.value("lblDes"), QRect(60, 244, 365, 37));
        QCOMPARE(geometry.value("cmdNext"), QRect(368, 296, 73, 21));
        // The problem label is as wide as its text.
        QCOMPARE(abend.topLeft(), QPoint(60, 156));
        QVERIFY(abend.width() > 20 && abend.width() < 200);
    }
}

void TestAlerts::answererOpensTheDialogs()
{
    DialogProblemAnswerer answerer;
    IProblemAnswerer &asked = answerer;
    Seen seen;
    QCOMPARE(Drive([&] { return asked.ShowFileAlert(QStringLiteral("/t/a.mp3"), true); }, Choose(1), &seen), 2);
    QCOMPARE(seen.abend, QStringLiteral("服务器连接重置"));
    QCOMPARE(Drive([&] { return asked.ShowAlert(QStringLiteral("无法续传"), QString(), true); }, Choose(1)), 2);
}

void TestAlerts::screenshots()
{
    const auto shoot = [](const QString &name) {
        return [name](ProblemDialog *d) {
            testing::SaveScreenshot(d, name);
            d->cmdNext()->click();
        };
    };
    Drive([] { return ShowFileAlert(QStringLiteral("/home/u/My Music/一首歌.mp3"), false); },
          shoot(QStringLiteral("frmFileAlert-exists")));
    Drive([] { return ShowFileAlert(QStringLiteral("/home/u/My Music/一首歌.mp3"), true); },
          shoot(QStringLiteral("frmFileAlert-reset")));
    Drive([] { return ShowAlert(QStringLiteral("服务器不支持续传"), QStringLiteral("http://h/d/x.rar"), true); },
          shoot(QStringLiteral("frmAlert-cancel")));
    Drive([] { return ShowAlert(QStringLiteral("无法解析域名"), QStringLiteral("http://h/d/x.rar"), false); },
          shoot(QStringLiteral("frmAlert-ignore")));
}

QTEST_MAIN(TestAlerts)
#include "tst_alerts.moc"
