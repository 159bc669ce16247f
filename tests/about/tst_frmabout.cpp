// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// The About window under the offscreen platform.
#include "about/core/linuxplatform.h"
#include "about/core/system.h"
#include "about/ui/frmabout.h"
#include "testsupport.h"

#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTextBrowser>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

#include <unistd.h>

using namespace velmora;
using testing::Control;

namespace {

// This computer, with as much memory as the test says.
struct ResizedMemory : LinuxPlatform {
    quint64 totalBytes = 0;
    void Memory(MemoryFacts &f) override { f = {37, totalBytes, totalBytes / 4}; }
};

QString Value(const frmAbout &dlg, const QString &caption)
{
    const auto found = Control<QTreeWidget>(&dlg, "lstSysinfo")->findItems(caption, Qt::MatchExactly, 0);
    return found.size() == 1 ? found[0]->text(1) : QStringLiteral("<missing>");
}

// Opens the window modally and closes it from inside with its Close button.
void OpenAndClose(frmAbout &dlg)
{
    QTimer::singleShot(0, &dlg, [&dlg] { Control<QPushButton>(&dlg, "cmdClose")->click(); });
    dlg.exec();
}

} // namespace

class TestFrmAbout : public QObject
{
    Q_OBJECT
private slots:
    // With a picture of every tab, and of the lower half of the list (memory and drives).
    void windowTabsAndList()
    {
        frmAbout dlg;
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QCOMPARE(dlg.windowTitle(), QStringLiteral("关于 Velmora"));
        QCOMPARE(dlg.minimumSize(), dlg.maximumSize());
        auto *tabs = Control<QTabWidget>(&dlg, "SSTab1");
        QCOMPARE(tabs->currentIndex(), 0);
        QStringList names;
        for (int i = 0; i < tabs->count(); ++i) {
            names << tabs->tabText(i);
            tabs->setCurrentIndex(i);
            testing::SaveScreenshot(&dlg, QStringLiteral("about_tab%1").arg(i + 1));
        }
        QCOMPARE(names, QStringList({"常规", "Velmora", "系统信息", "版本信息", "许可证"}));
        QCOMPARE(Control<QPushButton>(&dlg, "cmdClose")->text(), QStringLiteral("关闭(&C)"));
        QCOMPARE(Control<QLabel>(&dlg, "Label6")->text(), QStringLiteral("版本 1.13"));
        QCOMPARE(Control<QLabel>(&dlg, "Label8")->text(), QStringLiteral("版本 1.13"));

        auto *list = Control<QTreeWidget>(&dlg, "lstSysinfo");
        QCOMPARE(list->headerItem()->text(0), QStringLiteral("项目"));
        QCOMPARE(list->headerItem()->text(1), QStringLiteral("值"));
        QCOMPARE(list->topLevelItemCount(), 20);
        for (int i = 0; i < 20; ++i)
            QVERIFY(!list->topLevelItem(i)->icon(0).pixmap(16, 16).isNull());
        QCOMPARE(Value(dlg, "Number of processors"), QString::number(sysconf(_SC_NPROCESSORS_ONLN)));
        tabs->setCurrentIndex(2);
        list->scrollToBottom();
        testing::SaveScreenshot(&dlg, QStringLiteral("about_tab3_lower"));
    }

    // An interactive program under the GPL says so where it opens: the
    // copyright, the licence and that there is no warranty on the first
    // page, and the whole notice on a page of its own.
    void licenceIsShown()
    {
        frmAbout dlg;
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        auto *tabs = Control<QTabWidget>(&dlg, "SSTab1");
        QStringList firstPage;
        for (const QLabel *label : tabs->widget(0)->findChildren<QLabel *>())
            if (label->isVisible())
                firstPage << label->text();
        const QString shown = firstPage.join('\n');
        for (const char *needed : {"Copyright © 2026 Velmora developers", "GPL-3.0-or-later", "不提供任何担保"})
            QVERIFY2(shown.contains(QString::fromUtf8(needed)), needed);

        const int page = tabs->count() - 1;
        QCOMPARE(tabs->tabText(page), QStringLiteral("许可证"));
        tabs->setCurrentIndex(page);
        auto *notice = Control<QTextBrowser>(&dlg, "txtLicence");
        QVERIFY(notice->isVisible() && (notice->focusPolicy() & Qt::TabFocus));
        const QString text = notice->toPlainText();
        for (const char *needed : {"Copyright © 2026 Velmora developers", "GPL-3.0-or-later", "不提供任何担保",
                                   "WITHOUT ANY WARRANTY", "either version 3 of the License, or (at your option) any later version",
                                   "https://www.gnu.org/licenses/"})
            QVERIFY2(text.contains(QString::fromUtf8(needed)), needed);
        testing::SaveScreenshot(&dlg, QStringLiteral("about_licence"));
    }

    // Alt+C closes the window from every page; on the facts page Alt+D
    // leads into the list and nothing else claims Alt+C there.
    void accessKeys_data()
    {
        QTest::addColumn<int>("page");
        for (int page = 0; page < 5; ++page)
            QTest::addRow("page %d", page) << page;
    }

    void accessKeys()
    {
        QFETCH(int, page);
        frmAbout dlg;
        QVERIFY(testing::ActivateWindow(&dlg));
        auto *tabs = Control<QTabWidget>(&dlg, "SSTab1");
        QCOMPARE(tabs->count(), 5);
        tabs->setCurrentIndex(page);
        if (tabs->tabText(page) == QStringLiteral("系统信息")) {
            QTest::keyClick(&dlg, Qt::Key_D, Qt::AltModifier);
            QCOMPARE(QApplication::focusWidget(), Control<QTreeWidget>(&dlg, "lstSysinfo"));
        }
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_C, Qt::AltModifier);
        QTRY_VERIFY(!dlg.isVisible());  // an access key presses its button as a click does, drawn first
    }

    void reopeningRefreshesTheList()
    {
        ResizedMemory platform;
        platform.totalBytes = quint64(5) << 30;  // more than a 32-bit count holds
        System sys(platform);
        frmAbout dlg(sys);
        OpenAndClose(dlg);
        QCOMPARE(Value(dlg, "Total RAM"), QStringLiteral("5,242,880 Kb"));

        auto *tabs = Control<QTabWidget>(&dlg, "SSTab1");
        tabs->setCurrentIndex(2);
        platform.totalBytes = 0;
        OpenAndClose(dlg);
        QCOMPARE(Control<QTreeWidget>(&dlg, "lstSysinfo")->topLevelItemCount(), 20);
        QCOMPARE(Value(dlg, "Total RAM"), QStringLiteral(" Kb"));
        QCOMPARE(tabs->currentIndex(), 0);
    }

    void hiddenCreditsBox()
    {
        testing::MessageBoxAnswerer answerer;
        frmAbout dlg;
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        auto *picture = Control<QLabel>(&dlg, "Picture1");
        const Qt::KeyboardModifiers all = Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier;

        QTest::mouseClick(picture, Qt::LeftButton, Qt::ControlModifier | Qt::AltModifier);
        QTest::mouseClick(picture, Qt::RightButton, all);
        QTest::mouseClick(picture, Qt::LeftButton);
        QCOMPARE(answerer.texts.size(), 0);

        QTest::mouseClick(picture, Qt::LeftButton, all);
        QCOMPARE(answerer.texts.size(), 1);
        const QStringList lines = answerer.texts[0].split('\n');
        QCOMPARE(lines.mid(0, 3), QStringList({"Velmora 1.13", "Vadararo Riziv Ozivuvev & Ivazur Arerur", ""}));
        QVERIFY(lines.size() == 4 && !lines[3].isEmpty());
        QVERIFY(dlg.isVisible());

        QVERIFY(testing::ActivateWindow(&dlg));
        QTest::keyClick(&dlg, Qt::Key_C, Qt::AltModifier);  // 关闭(&C)
        QTRY_VERIFY(!dlg.isVisible());
    }
};

QTEST_MAIN(TestFrmAbout)
#include "tst_frmabout.moc"
