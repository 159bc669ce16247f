// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// Qt's own texts in a Chinese program: the standard buttons of the program's
// message boxes, the Save-As dialog and a text box's context menu, whatever
// language the system runs in (this test forces English first).
#include "common/ui/msgbox.h"
#include "common/ui/qtchinese.h"
#include "testsupport.h"

#include <QAbstractButton>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <memory>

using namespace velmora;
using testing::Control;

class TestQtChinese : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QVERIFY(InstallQtChinese(qApp));
    }

    void messageBoxButtons()
    {
        QStringList seen;
        const auto c = connect(MessageBoxes::instance(), &MessageBoxes::aboutToShow, this, [&](QMessageBox *box) {
            seen.clear();
            for (const QAbstractButton *b : box->buttons())
                seen << b->text();
            seen.sort();
            QTimer::singleShot(0, box, [box] {
                QAbstractButton *answer = box->button(QMessageBox::No);
                (answer ? answer : box->button(QMessageBox::Ok))->click();
            });
        });
        const auto answer = ShowMessage(nullptr, QMessageBox::Question, QStringLiteral("Velmora 正在执行用户的请求, 是否强制退出?"),
                                        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        QCOMPARE(answer, QMessageBox::No);
        QCOMPARE(seen, QStringList({QStringLiteral("取消"), QStringLiteral("否(&N)"), QStringLiteral("是(&Y)")}));

        ShowMessage(nullptr, QMessageBox::Information, QStringLiteral("请先选择需要下载的项目."));
        QCOMPARE(seen, QStringList({QStringLiteral("确定")}));
        disconnect(c);
    }

    void saveDialogAndContextMenu()
    {
        QFileDialog dialog(nullptr, QStringLiteral("另存为"));
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        QVERIFY(Control<QLabel>(&dialog, "lookInLabel")->text().startsWith(QStringLiteral("查找范围")));
        QVERIFY(Control<QLabel>(&dialog, "fileNameLabel")->text().startsWith(QStringLiteral("文件名")));
        QStringList buttons;
        for (const QPushButton *b : dialog.findChildren<QPushButton *>())
            buttons << b->text();
        QVERIFY2(buttons.contains(QStringLiteral("保存(&S)")) && buttons.contains(QStringLiteral("取消")),
                 qPrintable(buttons.join(QLatin1Char('|'))));

        QLineEdit edit(QStringLiteral("初音"));
        const std::unique_ptr<QMenu> menu(edit.createStandardContextMenu());
        QStringList actions;
        for (const QAction *a : menu->actions())
            actions << a->text().section(QLatin1Char('\t'), 0, 0);
        QVERIFY2(actions.contains(QStringLiteral("复制(&C)")) && actions.contains(QStringLiteral("粘贴(&P)")),
                 qPrintable(actions.join(QLatin1Char('|'))));
    }
};

QTEST_MAIN(TestQtChinese)
#include "tst_qtchinese.moc"
