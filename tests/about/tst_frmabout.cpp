// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// The About window under the offscreen platform.
#include "about/core/system.h"
#include "about/ui/frmabout.h"
#include "testsupport.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

#include <unistd.h>

using namespace velmora;

namespace {

// A computer whose memory the test sets.
struct SmallPlatform : SystemPlatform {
    quint64 totalBytes = 0;
    bool Version(VersionFacts &f) override { f = {5, 1, kPlatformWin32NT, {}}; return true; }
    bool Directory(Folder, QString &p) override { p = "/srv"; return true; }
    bool ComputerName(QString &n) override { n = "studio"; return true; }
    bool UserName(QString &n) override { n = "mika"; return true; }
    int Keyboard(int) override { return 0; }
    void Processors(ProcessorFacts &f) override { f = {1, 1, 8664}; }
    void Memory(MemoryFacts &f) override { f = {37, totalBytes, totalBytes / 4}; }
    QStringList DriveRoots() override { return {"/"}; }
    int DriveType(const QString &) override { return kDriveFixed; }
    bool DiskSpace(const QString &, quint64 &, quint64 &) override { return false; }
    bool VolumeSerial(const QString &, quint32 &) override { return false; }
    bool VolumeLabel(const QString &, QString &) override { return false; }
    bool DiskSpaceFree(qint32 &) override { return false; }
};

QString Value(QTreeWidget *list, const QString &caption)
{
    const QList<QTreeWidgetItem *> found = list->findItems(caption, Qt::MatchExactly, 0);
    return found.size() == 1 ? found[0]->text(1) : QStringLiteral("<missing>");
}

void CloseSoon(frmAbout &dlg)
{
    QTimer::singleShot(0, &dlg, [&dlg] { dlg.findChild<QPushButton *>("cmdClose")->click(); });
}

} // namespace

class TestFrmAbout : public QObject
{
    Q_OBJECT
private slots:
    void windowAndTabs();
    void listOfThisComputer();
    void reopeningRefreshesTheList();
    void hiddenCreditsBox();
    void screenshots();
};

void TestFrmAbout::windowAndTabs()
{
    frmAbout dlg;
    QCOMPARE(dlg.windowTitle(), QStringLiteral("关于 Velmora"));
    QCOMPARE(dlg.size(), QSize(390, 424));
    QCOMPARE(dlg.minimumSize(), dlg.maximumSize());
    auto *tabs = dlg.findChild<QTabWidget *>("SSTab1");
    QVERIFY(tabs);
    QStringList names;
    for (int i = 0; i < tabs->count(); ++i)
        names << tabs->tabText(i);
    QCOMPARE(names, QStringList({"常规", "Velmora", "系统信息", "版本信息"}));
    QCOMPARE(tabs->currentIndex(), 0);
    QCOMPARE(dlg.findChild<QPushButton *>("cmdClose")->text(), QStringLiteral("关闭(&C)"));
    QCOMPARE(dlg.findChild<QLabel *>("Label6")->text(), QStringLiteral("版本 1.13"));
    QCOMPARE(dlg.findChild<QLabel *>("Label8")->text(), QStringLiteral("版本 1.13"));

    auto *list = dlg.findChild<QTreeWidget *>("lstSysinfo");
    QCOMPARE(list->headerItem()->text(0), QStringLiteral("项目"));
    QCOMPARE(list->headerItem()->text(1), QStringLiteral("值"));
}

void TestFrmAbout::listOfThisComputer()
{
    frmAbout dlg;
    auto *list = dlg.findChild<QTreeWidget *>("lstSysinfo");
    QCOMPARE(list->topLevelItemCount(), 20);
    for (int i = 0; i < 20; ++i)
        QVERIFY(!list->topLevelItem(i)->icon(0).pixmap(16, 16).isNull());
    // A few values checked against this process's own view of the machine.
    QCOMPARE(Value(list, "Temp directory"), QDir::tempPath() + "/");
    QCOMPARE(Value(list, "Number of processors"), QString::number(sysconf(_SC_NPROCESSORS_ONLN)));
    QVERIFY(Value(list, "Total RAM").endsWith(" Kb"));
    QVERIFY(Value(list, "Total RAM").contains(','));
    QVERIFY(Value(list, "RAM used").endsWith(" %"));
    QVERIFY(Value(list, "Active processor").startsWith('#'));
}

void TestFrmAbout::reopeningRefreshesTheList()
{
    SmallPlatform platform;
    platform.totalBytes = quint64(5) << 30;  // 5 GiB: more than a 32-bit count holds
    System sys(platform);
    frmAbout dlg(sys);
    auto *list = dlg.findChild<QTreeWidget *>("lstSysinfo");
    auto *tabs = dlg.findChild<QTabWidget *>("SSTab1");
    CloseSoon(dlg);
    dlg.exec();
    QCOMPARE(list->topLevelItemCount(), 20);
    QCOMPARE(Value(list, "Total RAM"), QStringLiteral("5,242,880 Kb"));
    QCOMPARE(Value(list, "Free RAM"), QStringLiteral("1,310,720 Kb"));
    QCOMPARE(Value(list, "Operating system"), QStringLiteral("Windows NT/2000/XP"));
    QCOMPARE(Value(list, "Windows version"), QStringLiteral("5.1"));
    QCOMPARE(Value(list, "Active processor"), QStringLiteral("#1"));
    QCOMPARE(Value(list, "Processor type"), QString());
    QCOMPARE(Value(list, "RAM used"), QStringLiteral("37 %"));

    tabs->setCurrentIndex(2);
    platform.totalBytes = 0;
    CloseSoon(dlg);
    dlg.exec();
    QCOMPARE(list->topLevelItemCount(), 20);
    QCOMPARE(Value(list, "Total RAM"), QStringLiteral(" Kb"));
    QCOMPARE(tabs->currentIndex(), 0);
}

void TestFrmAbout::hiddenCreditsBox()
{
    testing::MessageBoxAnswerer answerer;
    frmAbout dlg;
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    auto *picture = dlg.findChild<QLabel *>("Picture1");
    const Qt::KeyboardModifiers all = Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier;

    QTest::mouseClick(picture, Qt::LeftButton, Qt::ControlModifier | Qt::AltModifier);
    QTest::mouseClick(picture, Qt::RightButton, all);
    QTest::mouseClick(picture, Qt::LeftButton);
    QCOMPARE(answerer.texts.size(), 0);

    QTest::mouseClick(picture, Qt::LeftButton, all);
    QCOMPARE(answerer.texts.size(), 1);
    const QStringList lines = answerer.texts[0].split('\n');
    QCOMPARE(lines.size(), 4);
    QCOMPARE(lines[0], QStringLiteral("Velmora 1.13"));
    QCOMPARE(lines[1], QStringLiteral("Vadararo Riziv Ozivuvev & Ivazur Arerur"));
    QCOMPARE(lines[2], QString());
    QVERIFY(!lines[3].isEmpty());
    QVERIFY(dlg.isVisible());

    dlg.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&dlg));
    QTest::keyClick(&dlg, Qt::Key_C, Qt::AltModifier);  // 关闭(&C)
    QTRY_VERIFY(!dlg.isVisible());
}

void TestFrmAbout::screenshots()
{
    frmAbout dlg;
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    auto *tabs = dlg.findChild<QTabWidget *>("SSTab1");
    for (int i = 0; i < tabs->count(); ++i) {
        tabs->setCurrentIndex(i);
        QCoreApplication::processEvents();
        const QString path = testing::SaveScreenshot(&dlg, QStringLiteral("about_tab%1").arg(i + 1));
        QVERIFY(QFileInfo(path).size() > 0);
    }
    // The lower half of the list: memory and drives.
    tabs->setCurrentIndex(2);
    auto *list = dlg.findChild<QTreeWidget *>("lstSysinfo");
    list->scrollToBottom();
    QCoreApplication::processEvents();
    QVERIFY(QFileInfo(testing::SaveScreenshot(&dlg, QStringLiteral("about_tab3_lower"))).size() > 0);
}

QTEST_MAIN(TestFrmAbout)
#include "tst_frmabout.moc"
