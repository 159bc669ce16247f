// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// The music search pieces: the address built from the words, the dialog that
// asks for them, and the demo service answering "/m" on loopback.
#include "catalogue/core/inet.h"
#include "catalogue/core/pagescan.h"
#include "catalogue/core/search.h"
#include "catalogue/ui/frmsearch.h"
#include "common/core/globals.h"
#include "common/ui/tooltip.h"
#include "demo.h"
#include "httpserver.h"
#include "testsupport.h"

#include <QtTest>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QUrlQuery>

using namespace velmora;

class TestSearch : public QObject
{
    Q_OBJECT

private slots:
    void init() { ResetGlobals(); }

    // Whatever is typed stays inside the word parameter: printable ASCII
    // only, no fragment, no header break.
    void addressCarriesTheWordsSafely()
    {
        for (const QString &words : QStringList{"rock&roll=1&lm=9 #1 hit 100% c++", "a\r\nHost: evil.example\r\n\r\nGET /",
                                     "  魔法 少女 君をのせて  "}) {
            const QString address = BuildSearchAddress(QStringLiteral("127.0.0.1:8417"), words);
            QVERIFY(address.startsWith(QStringLiteral("http://127.0.0.1:8417/m?rn=&tn=baidump3&ct=134217728&word=")));
            QVERIFY(address.endsWith(QStringLiteral("&lm=0")));
            for (QChar c : address)
                QVERIFY2(c.unicode() > 0x20 && c.unicode() < 0x7f, qPrintable(address));
            const QUrl url(address);
            QVERIFY(url.isValid() && !url.hasFragment());
            const QUrlQuery query(url);
            QCOMPARE(query.queryItemValue(QStringLiteral("word"), QUrl::FullyDecoded), words);
            QCOMPARE(query.queryItems().size(), 5);
        }
    }

    void demoServiceAnswersWithTracks()
    {
        httpd::HttpServer server;
        QVERIFY(server.start());
        demo::InstallDemoSearch(server);
        Inet inet;

        const QString words = QStringLiteral(" <b>Tom & Jerry</b> 主题曲 ");
        const FetchResult result = inet.Fetch(BuildSearchAddress(server.hostPort(), words));
        QCOMPARE(result.httpStatus, 200);
        // What was typed comes back, highlighted and escaped, never as markup.
        const QString page = QString::fromUtf8(result.body);
        QVERIFY2(page.contains(QStringLiteral("<font color=#e10900> &lt;b&gt;Tom &amp; Jerry&lt;/b&gt; 主题曲 </font>")),
                 qPrintable(page));
        QVERIFY(!page.contains(QStringLiteral("<b>Tom")));

        // The program's own page scan finds the tracks, each with the words as
        // typed and on the same server.
        QStringList tracks;
        ScanPage(page, u".mp3", [&](const QString &address, const QString &text) {
            tracks << address;
            return text.startsWith(words) && address.startsWith("http://" + server.hostPort() + '/');
        });
        QCOMPARE(tracks.size(), 4);
        QVERIFY(page.count(QStringLiteral("href=\"")) >= 6);  // lyrics and paging links beside the tracks

        // Blank words: a page without tracks.
        const QByteArray empty = inet.Fetch(BuildSearchAddress(server.hostPort(), QStringLiteral("   "))).body;
        QVERIFY(!empty.isEmpty());
        QVERIFY(!empty.toLower().contains(".mp3"));
    }

    void dialogLayout()
    {
        frmSearch dlg;
        QCOMPARE(dlg.windowTitle(), QStringLiteral("Velmora Music Search"));
        QCOMPARE(dlg.size(), QSize(385, 137));
        QCOMPARE(dlg.minimumSize(), dlg.maximumSize());
        QVERIFY(!(dlg.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
        QVERIFY(dlg.isModal());
        QVERIFY(dlg.cmdOK->isDefault());
        QCOMPARE(dlg.cmdOK->text(), QStringLiteral("确定"));
        QCOMPARE(dlg.cmdCancel->text(), QStringLiteral("取消"));
        QCOMPARE(dlg.lblWord->text(), QStringLiteral("搜索内容(&C):"));
        QCOMPARE(dlg.lblWord->buddy(), dlg.txtWord);

        // The tip stays on the text box although its object was local to the load.
        const auto tips = dlg.txtWord->findChildren<BalloonTip *>();
        QCOMPARE(tips.size(), 1);
        QCOMPARE(tips.first()->title(), QStringLiteral("搜索内容(&C)"));
        QCOMPARE(tips.first()->text(), QStringLiteral("输入希望搜索的专辑, 曲目或艺术家名称"));

        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QCOMPARE(dlg.focusWidget(), dlg.txtWord);
        QCOMPARE(dlg.txtWord->nextInFocusChain(), dlg.cmdOK);
        dlg.txtWord->setText(QStringLiteral("千与千寻 OST"));
        testing::SaveScreenshot(&dlg, QStringLiteral("search-dialog"));
    }

    // Blank words are told and the dialog stays, its text box focused.
    void blankWordsKeepTheDialogOpen()
    {
        for (const char *typed : {"", "    "}) {
            strSearchWord = QStringLiteral("untouched");
            testing::MessageBoxAnswerer answerer;
            frmSearch dlg;
            dlg.show();
            QVERIFY(QTest::qWaitForWindowExposed(&dlg));
            dlg.txtWord->setText(typed);
            dlg.cmdCancel->setFocus();
            dlg.cmdOK->click();
            QCOMPARE(answerer.texts, QStringList{QStringLiteral("请输入希望搜索的专辑, 曲目或艺术家名称.")});
            QVERIFY(dlg.isVisible());
            QCOMPARE(dlg.result(), 0);
            QCOMPARE(dlg.focusWidget(), dlg.txtWord);
            QCOMPARE(strSearchWord, QStringLiteral("untouched"));
        }
    }

    // OK and Enter keep the words as typed; Cancel and the close box keep none.
    void okCancelAndCloseBox_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("kept");
        QTest::newRow("ok") << "ok" << "  Ghibli  best ";
        QTest::newRow("enter") << "enter" << "  Ghibli  best ";
        QTest::newRow("cancel") << "cancel" << "";
        QTest::newRow("close box") << "close" << "";
    }

    void okCancelAndCloseBox()
    {
        QFETCH(QString, how);
        QFETCH(QString, kept);
        testing::MessageBoxAnswerer answerer;
        frmSearch dlg;
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QTest::keyClicks(dlg.txtWord, QStringLiteral("  Ghibli  best "));
        if (how == "ok")
            dlg.cmdOK->click();
        else if (how == "enter")
            QTest::keyClick(dlg.txtWord, Qt::Key_Return);
        else if (how == "cancel")
            dlg.cmdCancel->click();
        else
            QVERIFY(dlg.close());
        QCOMPARE(dlg.result(), int(kept.isEmpty() ? QDialog::Rejected : QDialog::Accepted));
        QVERIFY(!dlg.isVisible());
        QCOMPARE(strSearchWord, kept);
        QVERIFY(answerer.texts.isEmpty());
    }
};

QTEST_MAIN(TestSearch)
#include "tst_search.moc"
