// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// The two download problem dialogs, driven through their open procedures.
#include "download/ui/alerts.h"
#include "download/ui/frmalert.h"
#include "download/ui/frmfilealert.h"
#include "download/ui/problemdialog.h"
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
    QString abend, file;
    QStringList choices, descriptions;  // lblDes for each position, in order
    int codeAtOpen = -1;                // the dialog's answer once it is shown
    bool focusOnList = false;
};

using Action = std::function<void(ProblemDialog *)>;

// Opens a dialog through `open`; once its modal loop runs, records what it
// shows and lets `act` answer it.
int Drive(const std::function<int()> &open, const Action &act, Seen *seen = nullptr)
{
    const auto c = QObject::connect(AlertDialogs::instance(), &AlertDialogs::aboutToShow, [&](QDialog *d) {
        auto *dialog = qobject_cast<ProblemDialog *>(d);
        QTimer::singleShot(0, dialog, [dialog, seen, act] {
            if (seen) {
                seen->abend = dialog->lblAbend()->text();
                seen->file = dialog->txtFile()->text();
                if (auto *file = qobject_cast<frmFileAlert *>(dialog))
                    seen->codeAtOpen = int(file->answer());
                else if (auto *general = qobject_cast<frmAlert *>(dialog))
                    seen->codeAtOpen = int(general->answer());
                seen->focusOnList = dialog->focusWidget() == dialog->comOperation();
                QComboBox *list = dialog->comOperation();
                for (int i = 0; i < list->count(); ++i) {
                    seen->choices << list->itemText(i);
                    list->setCurrentIndex(i);
                    seen->descriptions << dialog->lblDes()->text();
                }
                list->setCurrentIndex(0);
            }
            act(dialog);
            if (dialog->isVisible()) // a failed check inside act must not leave the loop waiting
                dialog->reject();
        });
    });
    const int result = open();
    QObject::disconnect(c);
    return result;
}

Action Choose(int position, bool closeBox = false)
{
    return [=](ProblemDialog *d) {
        d->comOperation()->setCurrentIndex(position);
        if (closeBox)
            d->close();
        else
            d->cmdNext()->click();
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

    // kind 0: file dialog (flag = blnReset); kind 1: general dialog (flag = blnOfferCancel).
    void modes_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<bool>("flag");
        QTest::addColumn<QString>("abend");
        QTest::addColumn<QStringList>("choices");
        QTest::addColumn<QStringList>("descriptions");
        QTest::newRow("file exists") << 0 << false << "文件已存在"
                                     << QStringList{"续传已存在的文件. (建议采用)", "重新下载已存在的文件.", "忽略此问题."}
                                     << QStringList{kContinue, kAgain, kIgnoreCancels};
        QTest::newRow("connection reset") << 0 << true << "服务器连接重置"
                                          << QStringList{"续传已存在的文件. (建议采用)", "忽略此问题."}
                                          << QStringList{kContinue, kIgnoreCancels};
        QTest::newRow("cancel offered")
            << 1 << true << "服务器不支持续传" << QStringList{"忽略此问题. (建议采用)", "取消下载任务."}
            << QStringList{"选择 \"忽略此问题\" 不会解决文件中任何的问题. Velmora 将尝试重新下载当前文件.",
                           "选择 \"取消下载任务.\" 不会解决文件中任何的问题. Velmora 将取消当前下载任务."};
        QTest::newRow("no cancel") << 1 << false << "无法解析域名" << QStringList{"忽略此问题. (建议采用)"}
                                   << QStringList{"选择 \"忽略此问题\" 不会解决文件中任何的问题. 类似的情况还可能再次出现."};
    }
    void modes()
    {
        QFETCH(int, kind);
        QFETCH(bool, flag);
        QFETCH(QString, abend);
        QFETCH(QStringList, choices);
        QFETCH(QStringList, descriptions);
        QSignalSpy beeps(AlertDialogs::instance(), &AlertDialogs::beeped);
        Seen seen;
        const int code = Drive(
            [&] {
                return kind == 0 ? int(ShowFileAlert(QStringLiteral("/home/u/My Music/a b.mp3"), flag))
                                 : int(ShowAlert(abend, QStringLiteral("C:\\music\\a b.mp3"), flag));
            },
            Choose(0), &seen);
        QCOMPARE(seen.abend, abend);
        QCOMPARE(seen.file, QStringLiteral("a b.mp3"));
        QCOMPARE(seen.choices, choices);
        QCOMPARE(seen.descriptions, descriptions);
        QVERIFY(seen.focusOnList);
        // The file dialog records its answer on selection; the general one only on "下一步>".
        QCOMPARE(seen.codeAtOpen, kind == 0 ? 1 : 0);
        QCOMPARE(code, 1);
        QCOMPARE(beeps.count(), 1);
    }

    void answers_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<bool>("flag");
        QTest::addColumn<int>("position");
        QTest::addColumn<bool>("closeBox");
        QTest::addColumn<int>("code");
        QTest::newRow("exists: again") << 0 << false << 1 << false << 2;
        QTest::newRow("exists: ignore") << 0 << false << 2 << false << 3;
        QTest::newRow("reset: ignore is 2") << 0 << true << 1 << false << 2;
        QTest::newRow("cancel offered: cancel") << 1 << true << 1 << false << 2;
        // The close box: the file dialog answers with the selection, the general one with 0.
        QTest::newRow("exists: close box untouched") << 0 << false << 0 << true << 1;
        QTest::newRow("exists: close box on ignore") << 0 << false << 2 << true << 3;
        QTest::newRow("general: close box") << 1 << true << 1 << true << 0;
    }
    void answers()
    {
        QFETCH(int, kind);
        QFETCH(bool, flag);
        QFETCH(int, position);
        QFETCH(bool, closeBox);
        QFETCH(int, code);
        DialogProblemAnswerer answerer;
        const auto open = [&] {
            return kind == 0 ? int(answerer.ShowFileAlert(QStringLiteral("a"), flag))
                             : int(answerer.ShowAlert(Problem::CannotResume, QString(), flag));
        };
        QCOMPARE(Drive(open, Choose(position, closeBox)), code);
        // Every opening starts clean: the answer given before does not leak in.
        QCOMPARE(Drive(open, Choose(0, true)), kind == 0 ? 1 : 0);
    }

    void keyboardChoosesAndConfirms()
    {
        const auto keys = [](int downs) {
            return [downs](ProblemDialog *d) {
                for (int i = 0; i < downs; ++i)
                    QTest::keyClick(d->focusWidget(), Qt::Key_Down);
                QTest::keyClick(d->focusWidget(), Qt::Key_Return);
            };
        };
        QCOMPARE(Drive([] { return int(ShowFileAlert(QStringLiteral("a"), false)); }, keys(2)), 3);
        QCOMPARE(Drive([] { return int(ShowAlert(QStringLiteral("无法续传"), QString(), true)); }, keys(1)), 2);
    }

    void layoutAndScreenshots()
    {
        const auto check = [](const QString &shot) {
            return [shot](ProblemDialog *d) {
                QCOMPARE(d->windowTitle(), QStringLiteral("Velmora 1.13"));
                // The problem label starts in its place and is as wide as its text.
                const QRect abend = d->lblAbend()->geometry();
                QCOMPARE(abend.topLeft(), QPoint(60, 156));
                QCOMPARE(abend.width(), d->lblAbend()->fontMetrics().horizontalAdvance(d->lblAbend()->text()) + 2);
                QVERIFY(d->cmdNext()->isDefault());
                QVERIFY(!d->comOperation()->isEditable());
                testing::SaveScreenshot(d, shot);
                d->cmdNext()->click();
            };
        };
        const QString file = QStringLiteral("/home/u/My Music/一首歌.mp3");
        Drive([&] { return int(ShowFileAlert(file, false)); }, check(QStringLiteral("frmFileAlert-exists")));
        Drive([&] { return int(ShowFileAlert(file, true)); }, check(QStringLiteral("frmFileAlert-reset")));
        Drive([] { return int(ShowAlert(QStringLiteral("服务器不支持续传"), QStringLiteral("http://h/x.rar"), true)); },
              check(QStringLiteral("frmAlert-cancel")));
        Drive([] { return int(ShowAlert(QStringLiteral("无法解析域名"), QStringLiteral("http://h/x.rar"), false)); },
              check(QStringLiteral("frmAlert-ignore")));
    }
};

QTEST_MAIN(TestAlerts)
#include "tst_alerts.moc"
