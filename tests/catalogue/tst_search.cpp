// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// The music search pieces: the address built from the words, the dialog that
// asks for them, and the demo service answering "/m" on loopback.
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
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPushButton>
#include <QRegularExpression>
#include <QUrlQuery>

using namespace velmora;

namespace {

QByteArray fetch(const QUrl &url, int *status = nullptr)
{
    QNetworkAccessManager nam;
    QNetworkReply *reply = nam.get(QNetworkRequest(url));
    QSignalSpy done(reply, &QNetworkReply::finished);
    if (!reply->isFinished() && !done.wait(5000))
        return {};
    if (status)
        *status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QByteArray body = reply->readAll();
    reply->deleteLater();
    return body;
}

} // namespace

class TestSearch : public QObject
{
    Q_OBJECT

private slots:
    void init() { ResetGlobals(); }

    void addressCarriesTheWordsSafely_data()
    {
        QTest::addColumn<QString>("words");
        QTest::newRow("plain") << QStringLiteral("Opening");
        QTest::newRow("spaces kept") << QStringLiteral("  魔法 少女  ");
        QTest::newRow("query delimiters") << QStringLiteral("rock&roll=1&lm=9");
        QTest::newRow("fragment") << QStringLiteral("#1 hit");
        QTest::newRow("percent and plus") << QStringLiteral("100% c++");
        QTest::newRow("header injection") << QStringLiteral("a\r\nHost: evil.example\r\n\r\nGET /");
        QTest::newRow("cjk and kana") << QStringLiteral("君をのせて 天空之城");
    }

    void addressCarriesTheWordsSafely()
    {
        QFETCH(QString, words);
        const QString address = BuildSearchAddress(QStringLiteral("127.0.0.1:8417"), words);
        QVERIFY(address.startsWith(QStringLiteral("http://127.0.0.1:8417/m?rn=&tn=baidump3&ct=134217728&word=")));
        QVERIFY(address.endsWith(QStringLiteral("&lm=0")));
        for (QChar bad : {QChar(u' '), QChar(u'\r'), QChar(u'\n'), QChar(u'#')})
            QVERIFY2(!address.contains(bad), qPrintable(address));
        for (QChar c : address)
            QVERIFY(c.unicode() > 0x20 && c.unicode() < 0x7f);

        const QUrl url(address);
        QVERIFY(url.isValid());
        QCOMPARE(url.path(), QStringLiteral("/m"));
        QVERIFY(!url.hasFragment());
        const QUrlQuery query(url);
        QCOMPARE(query.queryItemValue(QStringLiteral("word"), QUrl::FullyDecoded), words);
        QCOMPARE(query.queryItems().size(), 5);
        QCOMPARE(query.queryItemValue(QStringLiteral("tn")), QStringLiteral("baidump3"));
        QCOMPARE(query.queryItemValue(QStringLiteral("ct")), QStringLiteral("134217728"));
        QCOMPARE(query.queryItemValue(QStringLiteral("lm")), QStringLiteral("0"));
        QVERIFY(query.hasQueryItem(QStringLiteral("rn")));
    }

    void demoServiceAnswersWithTracks()
    {
        httpd::HttpServer server;
        QVERIFY(server.start());
        demo::InstallDemoSearch(server);

        const QString words = QStringLiteral(" <b>Tom & Jerry</b> 主题曲 ");
        int status = 0;
        const QString page = QString::fromUtf8(fetch(QUrl(BuildSearchAddress(server.hostPort(), words)), &status));
        QCOMPARE(status, 200);
        // What was typed comes back, highlighted and escaped, never as markup.
        const QString shown = QStringLiteral("<font color=#e10900> &lt;b&gt;Tom &amp; Jerry&lt;/b&gt; 主题曲 </font>");
        QVERIFY2(page.contains(shown), qPrintable(page));
        QVERIFY(!page.contains(QStringLiteral("<b>Tom")));

        // The program's own page scan finds the tracks with the words as typed.
        QStringList mp3;
        QStringList texts;
        ScanPage(page, u".mp3", [&](const QString &address, const QString &text) {
            mp3 << address;
            texts << text;
            return true;
        });
        QCOMPARE(mp3.size(), 4);
        for (const QString &text : texts)
            QVERIFY2(text.startsWith(words), qPrintable(text));
        static const QRegularExpression href(QStringLiteral("href=\"([^\"]*)\""));
        QVERIFY(page.count(href) >= 6);  // lyrics and paging links beside the tracks
        for (const QString &link : mp3) {
            QVERIFY2(link.startsWith(QStringLiteral("http://") + server.hostPort() + QLatin1Char('/')), qPrintable(link));
            int fileStatus = 0;
            const QByteArray body = fetch(QUrl(link), &fileStatus);
            QCOMPARE(fileStatus, 200);
            QVERIFY(body.size() > 1000000);
            QCOMPARE(testing::Sha256(body), httpd::HttpServer::GeneratedSha256(body.size()));
        }

        // Blank words: a page without tracks.
        const QString empty = QString::fromUtf8(fetch(QUrl(BuildSearchAddress(server.hostPort(), QStringLiteral("   ")))));
        QVERIFY(!empty.isEmpty());
        QVERIFY(!empty.contains(QStringLiteral(".mp3"), Qt::CaseInsensitive));
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
        QVERIFY(dlg.txtWord->text().isEmpty());

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

    void blankWordsKeepTheDialogOpen_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::newRow("empty") << QString();
        QTest::newRow("spaces") << QStringLiteral("    ");
    }

    void blankWordsKeepTheDialogOpen()
    {
        QFETCH(QString, typed);
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

    void okCancelAndCloseBox()
    {
        testing::MessageBoxAnswerer answerer;
        {
            frmSearch dlg;
            dlg.show();
            dlg.txtWord->setText(QStringLiteral("  Ghibli  best "));
            dlg.cmdOK->click();
            QCOMPARE(dlg.result(), int(QDialog::Accepted));
            QVERIFY(!dlg.isVisible());
            QCOMPARE(strSearchWord, QStringLiteral("  Ghibli  best "));
        }
        {
            // Enter in the text box is the default button.
            frmSearch dlg;
            dlg.show();
            QVERIFY(QTest::qWaitForWindowExposed(&dlg));
            QTest::keyClicks(dlg.txtWord, QStringLiteral("abc"));
            QTest::keyClick(dlg.txtWord, Qt::Key_Return);
            QCOMPARE(dlg.result(), int(QDialog::Accepted));
            QCOMPARE(strSearchWord, QStringLiteral("abc"));
        }
        {
            frmSearch dlg;
            dlg.show();
            dlg.txtWord->setText(QStringLiteral("never sent"));
            dlg.cmdCancel->click();
            QCOMPARE(dlg.result(), int(QDialog::Rejected));
            QVERIFY(strSearchWord.isEmpty());
        }
        {
            strSearchWord.clear();
            frmSearch dlg;
            dlg.show();
            dlg.txtWord->setText(QStringLiteral("typed, then closed"));
            QVERIFY(dlg.close());
            QCOMPARE(dlg.result(), int(QDialog::Rejected));
            QVERIFY(strSearchWord.isEmpty());
        }
        QVERIFY(answerer.texts.isEmpty());
    }
};

QTEST_MAIN(TestSearch)
#include "tst_search.moc"
