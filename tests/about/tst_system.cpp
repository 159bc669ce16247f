// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// System's text rules and the list rows, on fixed figures from a platform the
// test fills in.
#include "about/core/sysinforows.h"
#include "about/core/system.h"

#include <QDir>
#include <QMap>
#include <QTemporaryDir>
#include <QtTest>

using namespace velmora;

namespace {

// Every answer is a field; a missing folder or an empty name means the
// platform cannot answer.
struct FixedPlatform : SystemPlatform {
    bool versionOk = true;
    VersionFacts version;
    QMap<Folder, QString> folders;
    QString computer, user;
    int keyboardCode = 0, functionKeys = 0;
    ProcessorFacts processors;
    MemoryFacts memory;
    QStringList roots;
    QMap<QString, int> types;
    bool spaceFreeOk = true;
    qint32 spaceFree = 0;
    QString cwdDuringSpaceFree;

    bool Version(VersionFacts &f) override { f = version; return versionOk; }
    bool Directory(Folder w, QString &p) override { p = folders.value(w); return folders.contains(w); }
    bool ComputerName(QString &n) override { n = computer; return !n.isEmpty(); }
    bool UserName(QString &n) override { n = user; return !n.isEmpty(); }
    int Keyboard(int flag) override { return flag == 0 ? keyboardCode : functionKeys; }
    void Processors(ProcessorFacts &f) override { f = processors; }
    void Memory(MemoryFacts &f) override { f = memory; }
    QStringList DriveRoots() override { return roots; }
    int DriveType(const QString &r) override { return types.value(r, kDriveNoRootDir); }
    // Volumes are read for real, in the Linux platform's test.
    bool DiskSpace(const QString &, quint64 &, quint64 &) override { return false; }
    bool VolumeSerial(const QString &, quint32 &) override { return false; }
    bool VolumeLabel(const QString &, QString &) override { return false; }
    bool DiskSpaceFree(qint32 &k) override { cwdDuringSpaceFree = QDir::currentPath(); k = spaceFree; return spaceFreeOk; }
};

} // namespace

class TestSystem : public QObject
{
    Q_OBJECT
private slots:
    // PutPoints ("." and "0") and the list's FormatGrouped ("," and nothing for 0).
    void groupedDigits_data()
    {
        QTest::addColumn<qint64>("number");
        QTest::addColumn<QString>("points");
        QTest::addColumn<QString>("grouped");
        QTest::newRow("zero") << qint64(0) << "0" << "";
        QTest::newRow("three digits") << qint64(999) << "999" << "999";
        QTest::newRow("four digits") << qint64(1000) << "1.000" << "1,000";
        // The sign is no digit: it never stands alone in front of a separator.
        QTest::newRow("negative three digits") << qint64(-123) << "-123" << "-123";
        QTest::newRow("negative six digits") << qint64(-123456) << "-123.456" << "-123,456";
        QTest::newRow("beyond 32 bits") << qint64(1234567890123) << "1.234.567.890.123" << "1,234,567,890,123";
    }

    void groupedDigits()
    {
        QFETCH(qint64, number);
        FixedPlatform platform;
        QTEST(System(platform).PutPoints(number), "points");
        QTEST(FormatGrouped(number), "grouped");
    }

    // Kilobytes to the nearest, a half going to the even one; beyond 32 bits too.
    void memoryRounding()
    {
        const QList<QPair<quint64, qint64>> cases = {
            {1536, 2}, {2560, 2}, {2561, 3}, {quint64(64) << 30, qint64(64) << 20}};
        for (const auto &c : cases)
            QVERIFY2(System::BytesToKb(c.first) == c.second, qPrintable(QString::number(c.first)));
    }

    void fastDiskSpaceRestoresDirectory()
    {
        QTemporaryDir start, target;
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(start.path()));
        const QString startPath = QDir::currentPath();
        FixedPlatform platform;
        System sys(platform);

        platform.spaceFree = 123456;
        QCOMPARE(sys.FastDiskSpace(target.path()), qint32(123456));
        QCOMPARE(QFileInfo(platform.cwdDuringSpaceFree).canonicalFilePath(), QFileInfo(target.path()).canonicalFilePath());
        QCOMPARE(QDir::currentPath(), startPath);

        platform.spaceFreeOk = false;  // the measurement fails
        QCOMPARE(sys.FastDiskSpace(target.path()), qint32(0));
        QCOMPARE(QDir::currentPath(), startPath);

        platform.spaceFreeOk = true;
        platform.cwdDuringSpaceFree.clear();
        QCOMPARE(sys.FastDiskSpace(target.path() + QStringLiteral("/missing")), qint32(0));
        QVERIFY(platform.cwdDuringSpaceFree.isEmpty());
        QCOMPARE(QDir::currentPath(), startPath);
        QDir::setCurrent(before);
    }

    // The 20 rows of a computer that answers everything, then of one that answers nothing.
    void rows()
    {
        using F = SystemPlatform::Folder;
        FixedPlatform platform;
        platform.version = {5, 1, kPlatformWin32NT, {}};
        // An answer ends at a NUL; a folder ends with a slash.
        platform.folders = {{F::Windows, "/"}, {F::System, QStringLiteral("/usr/lib") + QChar(0) + "left over"},
                            {F::Temp, "/tmp"}};
        platform.user = "mika";
        platform.computer = QStringLiteral("studio") + QChar(0) + "xx";
        platform.keyboardCode = 4;
        platform.functionKeys = 12;
        platform.processors = {3, 2, 586};
        platform.memory = {37, quint64(6) << 30, quint64(1) << 30};  // 6 GiB, 1 GiB free
        platform.roots = {"/media/stick", "/", "/media/cd", "/proc", "/home", "/mnt/share", "/dev/shm", "/gone"};
        platform.types = {{"/media/stick", kDriveRemovable}, {"/", kDriveFixed}, {"/media/cd", kDriveCdrom},
                          {"/proc", kDriveUnknown}, {"/home", kDriveFixed}, {"/mnt/share", kDriveRemote},
                          {"/dev/shm", kDriveRamdisk}};
        System sys(platform);
        SysinfoFields fields;
        const QList<SysinfoRow> expected = {
            {"Operating system", "Windows NT/2000/XP"}, {"Windows version", "5.1"},
            {"User name", "mika"}, {"Windows directory", "/"}, {"System directory", "/usr/lib/"},
            {"Temp directory", "/tmp/"}, {"Keyboard type", "IBM enhanced (101 or 102 key)"},
            {"Function keys", "12"}, {"Computer name", "studio"}, {"Number of processors", "2"},
            {"Active processor", "#3"}, {"Processor type", "Intel Pentium"},
            {"Total RAM", "6,291,456 Kb"}, {"Free RAM", "1,048,576 Kb"}, {"RAM used", "37 %"},
            {"Removable drives", "1"}, {"Fixed drives", "2"}, {"CD-ROM drives", "1"},
            {"RAM drives", "1"}, {"Network drives", "1"},
        };
        QCOMPARE(BuildSysinfoRows(sys, fields), expected);

        // What cannot be answered is empty. The same figures again: every count
        // starts from zero; a processor without a name keeps the name it had.
        FixedPlatform silent;
        silent.versionOk = false;
        silent.keyboardCode = 8;  // beyond the known types
        silent.functionKeys = 300;  // more than a byte holds
        silent.processors = {~quint64(0), 64, 8664};  // 64 processors
        System nothing(silent);
        QStringList values;
        for (const SysinfoRow &row : BuildSysinfoRows(nothing, fields))
            values << row.second;
        QCOMPARE(values, QStringList({"", "0.0", "", "", "", "", "", "255", "", "64", "#18446744073709551615",
                                      "Intel Pentium", " Kb", " Kb", "0 %", "0", "0", "0", "0", "0"}));
    }
};

QTEST_GUILESS_MAIN(TestSystem)
#include "tst_system.moc"
