// SPDX-FileCopyrightText: 2026 Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The servers as settings: what counts as a server, which source wins, the
// command line that writes them back, and the main window's dialog whose
// choice the next load uses. Every case runs on user folders of its own.
#include "catalogue/ui/frmmain.h"
#include "catalogue/ui/frmsettings.h"
#include "common/core/globals.h"
#include "common/core/settings.h"
#include "testsupport.h"

#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QtTest>

#include <memory>

using namespace velmora;

class tst_Settings : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_user = std::make_unique<testing::TemporaryUserFolders>();
        qunsetenv("VELMORA_CATALOGUE_SERVER");
        qunsetenv("VELMORA_SEARCH_SERVER");
        ResetGlobals();
    }
    void cleanup()
    {
        delete m_w.data();
        m_user.reset();
    }

    // Host or host:port, tidied; anything else is refused ("").
    void checkServer()
    {
        const QList<std::pair<QString, QString>> cases = {
            {" Quillon.Example.ORG:8080 ", "quillon.example.org:8080"}, {"[::1]:8417", "[::1]:8417"},
            {"h:", ""}, {"h:0", ""}, {"h:65536", ""}, {"http://h", ""}, {"h/quillon", ""}, {"me@h", ""}, {"::1", ""}};
        for (const auto &[typed, tidy] : cases)
            QVERIFY2(CheckServer(typed).value_or(QString()) == tidy, qPrintable(typed));
    }

    // The environment wins over the user's setting, which wins over the
    // default; a setting edited into something that is no server is not used.
    void whichServerIsUsed()
    {
        QCOMPARE(CatalogueServer(), kDefaultServer);
        QCOMPARE(StoreServer(Server::Catalogue, QStringLiteral("cat.example:81")), StoreResult::Stored);
        QCOMPARE(StoreServer(Server::Search, QStringLiteral("find.example")), StoreResult::Stored);
        QVERIFY(SettingsFile().startsWith(m_user->config() + QLatin1Char('/')));
        QCOMPARE(CatalogueServer(), QStringLiteral("cat.example:81"));
        QCOMPARE(SearchServer(), QStringLiteral("find.example"));

        qputenv("VELMORA_CATALOGUE_SERVER", " env.example:82 ");
        QCOMPARE(CatalogueServer(), QStringLiteral("env.example:82"));
        QCOMPARE(SearchServer(), QStringLiteral("find.example"));
        qunsetenv("VELMORA_CATALOGUE_SERVER");

        QSettings(SettingsFile(), QSettings::IniFormat).setValue(QStringLiteral("servers/search"), "not a server");
        QCOMPARE(SearchServer(), kDefaultServer);
        QCOMPARE(StoreServer(Server::Catalogue, QString()), StoreResult::Stored);
        QCOMPARE(CatalogueServer(), kDefaultServer);
    }

    // velmora --catalogue-server writes the setting before its windows
    // open; a wrong server on the command line stores nothing at all.
    void commandLineWritesBack()
    {
        const QString program = testing::BinDir() + QStringLiteral("/velmora");
        QProcess refused;
        refused.start(program, {QStringLiteral("--catalogue-server"), QStringLiteral("ok.example:1"),
                                QStringLiteral("--search-server"), QStringLiteral("bad:port")});
        QVERIFY(refused.waitForFinished(60000));  // the message itself is the command-line test's
        QCOMPARE(StoredServer(Server::Catalogue), QString());

        // With the variable set the program says, once the setting is
        // written, that the variable wins: that line is the sign to stop it.
        QProcess started;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("VELMORA_CATALOGUE_SERVER"), QStringLiteral("env.example"));
        env.insert(QStringLiteral("VELMORA_KIND"), QStringLiteral("music"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        started.setProcessEnvironment(env);
        started.start(program, {QStringLiteral("--catalogue-server"), QStringLiteral("Cat.Example:8080")});
        QByteArray said;
        QVERIFY(QTest::qWaitFor([&] {
            said += started.readAllStandardError();
            return said.contains("VELMORA_CATALOGUE_SERVER is set and wins over the setting");
        }, 60000));
        started.kill();
        started.waitForFinished();
        QCOMPARE(StoredServer(Server::Catalogue), QStringLiteral("cat.example:8080"));
    }

    // The dialog from the main window: a wrong server keeps it open with a
    // message; the right one is written and the next load comes from it,
    // its failure naming that server. Where the environment wins, the dialog
    // says so.
    void dialogChangesTheNextLoad()
    {
        const QString dead = testing::DeadHostPort();
        StoreServer(Server::Search, QStringLiteral("find.example"));
        qputenv("VELMORA_SEARCH_SERVER", "env.example:9");
        open();

        testing::MessageBoxAnswerer boxes(QMessageBox::Ok);
        int shown = 0;
        testing::WhenModal<frmSettings>(this, [&](frmSettings *d) {
            ++shown;
            testing::SaveScreenshot(d, QStringLiteral("frmsettings"));
            auto *catalogue = testing::Control<QLineEdit>(d, "txtCatalogueServer");
            QCOMPARE(catalogue->text(), QString());  // no setting yet: the default
            QCOMPARE(testing::Control<QLineEdit>(d, "txtSearchServer")->text(), QStringLiteral("find.example"));
            QVERIFY(!testing::Control<QLabel>(d, "txtCatalogueServerOverridden")->isVisibleTo(d));
            const QLabel *searchNote = testing::Control<QLabel>(d, "txtSearchServerOverridden");
            QVERIFY(searchNote->isVisibleTo(d));
            QVERIFY(searchNote->text().contains(QStringLiteral("VELMORA_SEARCH_SERVER 已设置, 本次运行使用 env.example:9")));
            catalogue->setText(QStringLiteral("bad host"));
            testing::Control<QPushButton>(d, "cmdOK")->click();
            QVERIFY(d->isVisible());
            catalogue->setText(dead);
            auto *connections = testing::Control<QSpinBox>(d, "spnConnections");
            auto *rate = testing::Control<QSpinBox>(d, "spnRateLimit");
            QCOMPARE(connections->value(), 4);
            QCOMPARE(rate->text(), QStringLiteral("不限"));
            connections->setValue(99);  // out of range: the most allowed
            rate->setValue(512);
            testing::Control<QPushButton>(d, "cmdOK")->click();
        });
        QTest::keyClick(m_w.data(), Qt::Key_Comma, Qt::ControlModifier);
        QCOMPARE(shown, 1);
        QCOMPARE(boxes.texts.size(), 1);
        QVERIFY(boxes.texts.first().contains(QStringLiteral("\"bad host\" 不是有效的服务器地址")));
        QCOMPARE(StoredServer(Server::Catalogue), dead);
        QCOMPARE(StoredDownloadLimits().connections, kMaxDownloadConnections);
        QCOMPARE(StoredDownloadLimits().bytesPerSecond, 512 * 1024);

        m_w->cmdLoad_Click();
        QCOMPARE(m_w->statusText(), QStringLiteral("无法从服务器 %1 加载列表. 按 Ctrl+, 或在状态栏上单击右键可设置服务器.").arg(dead));
    }

private:
    void open()
    {
        m_w = new frmMain;
        m_w->setEnabled(true);
        QVERIFY(testing::ActivateWindow(m_w));
    }

    std::unique_ptr<testing::TemporaryUserFolders> m_user;
    QPointer<frmMain> m_w;
};

QTEST_MAIN(tst_Settings)
#include "tst_settings.moc"
