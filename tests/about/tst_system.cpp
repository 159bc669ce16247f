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

struct FixedPlatform : SystemPlatform {
    bool versionOk = true;
    VersionFacts version;
    QMap<Folder, QString> folders;  // missing = the platform cannot answer
    QString computer, user;         // empty = cannot answer
    int keyboardCode = 0, functionKeys = 0;
    ProcessorFacts processors;
    MemoryFacts memory;
    QStringList roots;
    QMap<QString, int> types;
    bool spaceOk = false;
    quint64 total = 0, free = 0;
    bool serialOk = false;
    quint32 serial = 0;
    bool labelOk = false;
    QString label;
    bool spaceFreeOk = true;
    qint32 spaceFree = 0;
    QString cwdDuringSpaceFree;
    QStringList calls;

    bool Version(VersionFacts &f) override { calls << "Version"; f = version; return versionOk; }
    bool Directory(Folder w, QString &p) override
    {
        calls << QStringLiteral("Directory%1").arg(int(w));
        p = folders.value(w);
        return folders.contains(w);
    }
    bool ComputerName(QString &n) override { calls << "ComputerName"; n = computer; return !n.isEmpty(); }
    bool UserName(QString &n) override { calls << "UserName"; n = user; return !n.isEmpty(); }
    int Keyboard(int flag) override { calls << QStringLiteral("Keyboard%1").arg(flag); return flag == 0 ? keyboardCode : functionKeys; }
    void Processors(ProcessorFacts &f) override { calls << "Processors"; f = processors; }
    void Memory(MemoryFacts &f) override { calls << "Memory"; f = memory; }
    QStringList DriveRoots() override { calls << "DriveRoots"; return roots; }
    int DriveType(const QString &r) override { return types.value(r, kDriveNoRootDir); }
    bool DiskSpace(const QString &, quint64 &t, quint64 &f) override { t = total; f = free; return spaceOk; }
    bool VolumeSerial(const QString &, quint32 &s) override { s = serial; return serialOk; }
    bool VolumeLabel(const QString &, QString &l) override { l = label; return labelOk; }
    bool DiskSpaceFree(qint32 &kib) override
    {
        cwdDuringSpaceFree = QDir::currentPath();
        kib = spaceFree;
        return spaceFreeOk;
    }
};

} // namespace

class TestSystem : public QObject
{
    Q_OBJECT
private slots:
    void putPoints_data();
    void putPoints();
    void foldersAndNames();
    void serialAndLabel();
    void keyboard_data();
    void keyboard();
    void processors();
    void memoryRounding_data();
    void memoryRounding();
    void version();
    void drives();
    void driveInfoBeyond32Bits();
    void fastDiskSpaceRestoresDirectory();
    void groupedNumbers_data();
    void groupedNumbers();
    void rowsOfAComputer();
    void rowsWithMissingFacts();
};

void TestSystem::putPoints_data()
{
    QTest::addColumn<qint64>("number");
    QTest::addColumn<QString>("text");
    QTest::newRow("zero") << qint64(0) << "0";
    QTest::newRow("three digits") << qint64(999) << "999";
    QTest::newRow("four digits") << qint64(1000) << "1.000";
    QTest::newRow("seven digits") << qint64(1234567) << "1.234.567";
    QTest::newRow("beyond 32 bits") << qint64(5368709120) << "5.368.709.120";
    QTest::newRow("negative") << qint64(-1234) << "-1.234";
    // The sign is no digit: it never stands alone in front of a separator.
    QTest::newRow("negative three digits") << qint64(-123) << "-123";
    QTest::newRow("negative six digits") << qint64(-123456) << "-123.456";
}

void TestSystem::putPoints()
{
    QFETCH(qint64, number);
    QFETCH(QString, text);
    FixedPlatform platform;
    QCOMPARE(System(platform).PutPoints(number), text);
}

// What the platform cannot answer is empty; what it answers ends at a NUL,
// and folders end with a slash.
void TestSystem::foldersAndNames()
{
    using F = SystemPlatform::Folder;
    FixedPlatform platform;
    System sys(platform);
    QCOMPARE(sys.WinDir(), QString());  // the platform cannot answer
    QCOMPARE(sys.SystemDir(), QString());
    QCOMPARE(sys.TempDir(), QString());

    const QString longPath = QStringLiteral("/home/someone/a/folder/name/well/beyond/fifty/characters/tmp");
    platform.folders[F::Windows] = QStringLiteral("/usr");
    platform.folders[F::System] = QStringLiteral("/usr/lib") + QChar(0) + QStringLiteral("left over");
    platform.folders[F::Temp] = QStringLiteral("/tmp/");
    QCOMPARE(sys.WinDir(), QStringLiteral("/usr/"));
    QCOMPARE(sys.SystemDir(), QStringLiteral("/usr/lib/"));
    QCOMPARE(sys.TempDir(), QStringLiteral("/tmp/"));
    platform.folders[F::Temp] = longPath;
    QCOMPARE(sys.TempDir(), longPath + QLatin1Char('/'));

    QCOMPARE(sys.UserName(), QString());
    QCOMPARE(sys.ComputerName(), QString());
    platform.user = QStringLiteral("mika");
    platform.computer = QStringLiteral("studio") + QChar(0) + QStringLiteral("xx");
    QCOMPARE(sys.UserName(), QStringLiteral("mika"));
    QCOMPARE(sys.ComputerName(), QStringLiteral("studio"));
}

void TestSystem::serialAndLabel()
{
    FixedPlatform platform;
    System sys(platform);
    QCOMPARE(sys.SerialNumber("/"), QStringLiteral("0000-0000"));
    platform.serialOk = true;
    const QList<QPair<quint32, QString>> serials = {
        {0x1A2B3C4Du, "1A2B-3C4D"}, {0xABCDEFu, "00AB-CDEF"}, {0xF0F0F0F0u, "F0F0-F0F0"}, {0u, "0000-0000"}};
    for (const auto &s : serials) {
        platform.serial = s.first;
        QCOMPARE(sys.SerialNumber("/"), s.second);
    }

    QCOMPARE(sys.VolumeLabel("/"), QString());  // cannot be read
    platform.labelOk = true;
    QCOMPARE(sys.VolumeLabel("/"), QStringLiteral("NoName"));
    platform.label = QStringLiteral("影音") + QChar(0);
    QCOMPARE(sys.VolumeLabel("/"), QStringLiteral("影音"));
}

void TestSystem::keyboard_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");
    QTest::newRow("0") << 0 << "";
    QTest::newRow("1") << 1 << "IBM PC/XT or compatible (83 key)";
    QTest::newRow("4") << 4 << "IBM enhanced (101 or 102 key)";
    QTest::newRow("7") << 7 << "Japanese";
    QTest::newRow("8") << 8 << "";
}

void TestSystem::keyboard()
{
    QFETCH(int, code);
    QFETCH(QString, text);
    FixedPlatform platform;
    platform.keyboardCode = code;
    platform.functionKeys = code * 3;
    System sys(platform);
    QCOMPARE(sys.KeyboardType(), text);
    QCOMPARE(int(sys.FunctionKeys()), code * 3);
    platform.functionKeys = 300;
    QCOMPARE(int(sys.FunctionKeys()), 255);
}

void TestSystem::processors()
{
    FixedPlatform platform;
    System sys(platform);
    QString processor = QStringLiteral("as before");
    qint64 count = -1;
    quint64 mask = 0;
    const QList<QPair<int, QString>> types = {
        {386, "80386"}, {486, "80486"}, {586, "Intel Pentium"}, {8664, "Intel Pentium"}, {0, "Intel Pentium"}};
    platform.processors.count = 2;
    platform.processors.activeMask = 3;
    for (const auto &t : types) {
        platform.processors.type = t.first;
        sys.SystemInfo(processor, count, mask);
        QCOMPARE(processor, t.second);  // unlisted types keep the previous text
    }
    QCOMPARE(count, qint64(2));
    QCOMPARE(mask, quint64(3));
    platform.processors.activeMask = ~quint64(0);  // 64 processors
    sys.SystemInfo(processor, count, mask);
    QCOMPARE(mask, ~quint64(0));
}

void TestSystem::memoryRounding_data()
{
    QTest::addColumn<quint64>("bytes");
    QTest::addColumn<qint64>("kb");
    QTest::newRow("half rounds to even 2") << quint64(1536) << qint64(2);
    QTest::newRow("half rounds down to 2") << quint64(2560) << qint64(2);
    QTest::newRow("half rounds up to 4") << quint64(3584) << qint64(4);
    QTest::newRow("just over half") << quint64(2561) << qint64(3);
    QTest::newRow("just under half") << quint64(1535) << qint64(1);
    QTest::newRow("64 GiB") << quint64(68719476736) << qint64(67108864);
}

void TestSystem::memoryRounding()
{
    QFETCH(quint64, bytes);
    QFETCH(qint64, kb);
    FixedPlatform platform;
    platform.memory = {42, bytes, bytes / 2};
    quint8 load = 0;
    qint64 total = 0, free = 0;
    System(platform).FreeMemory(load, total, free);
    QCOMPARE(int(load), 42);
    QCOMPARE(total, kb);
    QCOMPARE(free, System::BytesToKb(bytes / 2));
}

void TestSystem::version()
{
    FixedPlatform platform;
    System sys(platform);
    int major = -1, minor = -1;
    QString name = QStringLiteral("as before");

    struct Case { int id, major, minor; QString expected; };
    const QList<Case> cases = {
        {kPlatformWin32NT, 5, 1, "Windows NT/2000/XP"},
        {kPlatformWin32Windows, 4, 10, "Windows 95/98/Me"},
        {kPlatformWin32s, 3, 11, "Windows 3.11"},
        {7, 9, 9, "Windows 3.11"},  // an unknown family keeps the text
        {kPlatformNamed, 6, 18, "Debian GNU/Linux 12 (bookworm)"},
    };
    platform.version.name = QStringLiteral("Debian GNU/Linux 12 (bookworm)");
    for (const Case &c : cases) {
        platform.version.platformId = c.id;
        platform.version.major = c.major;
        platform.version.minor = c.minor;
        sys.WinVer(major, minor, name);
        QCOMPARE(major, c.major);
        QCOMPARE(minor, c.minor);
        QCOMPARE(name, c.expected);
    }
    platform.versionOk = false;
    sys.WinVer(major, minor, name);
    QCOMPARE(major, 0);
    QCOMPARE(minor, 0);
    QCOMPARE(name, QString());
}

void TestSystem::drives()
{
    FixedPlatform platform;
    System sys(platform);
    const QStringList names = {"", "", "Removable drive", "Fixed drive", "Network drive", "CD-ROM drive", "RAM-disk", ""};
    for (int code = 0; code < names.size(); ++code) {
        platform.types["/x"] = code;
        QCOMPARE(sys.DriveType("/x"), names[code]);
    }

    platform.roots = {"/media/stick", "/", "/media/cd", "/proc", "/home", "/mnt/share", "/dev/shm", "/gone"};
    platform.types = {{"/media/stick", kDriveRemovable}, {"/", kDriveFixed}, {"/media/cd", kDriveCdrom},
                      {"/proc", kDriveUnknown}, {"/home", kDriveFixed}, {"/mnt/share", kDriveRemote},
                      {"/dev/shm", kDriveRamdisk}};
    int removable = -1, fixed = -1, cd = -1, ram = -1, network = -1;
    sys.Drives(removable, fixed, cd, ram, network);
    QCOMPARE(QList<int>({removable, fixed, cd, ram, network}), QList<int>({1, 2, 1, 1, 1}));

    platform.roots.clear();
    sys.Drives(removable, fixed, cd, ram, network);
    QCOMPARE(QList<int>({removable, fixed, cd, ram, network}), QList<int>({0, 0, 0, 0, 0}));
}

void TestSystem::driveInfoBeyond32Bits()
{
    FixedPlatform platform;
    System sys(platform);
    qint64 total = -1, free = -1;
    sys.DriveInfo("/", total, free);
    QCOMPARE(total, qint64(0));
    QCOMPARE(free, qint64(0));
    platform.spaceOk = true;
    platform.total = quint64(2000) << 30;  // a 2000 GiB disk
    platform.free = (quint64(5) << 30) + 1;
    sys.DriveInfo("/", total, free);
    QCOMPARE(total, qint64(2000) << 30);
    QCOMPARE(free, (qint64(5) << 30) + 1);
}

void TestSystem::fastDiskSpaceRestoresDirectory()
{
    QTemporaryDir start, target;
    QVERIFY(start.isValid() && target.isValid());
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

void TestSystem::groupedNumbers_data()
{
    QTest::addColumn<qint64>("number");
    QTest::addColumn<QString>("text");
    QTest::newRow("zero has no digit") << qint64(0) << "";
    QTest::newRow("three digits") << qint64(999) << "999";
    QTest::newRow("four digits") << qint64(1000) << "1,000";
    QTest::newRow("1 GiB in KB") << qint64(1048576) << "1,048,576";
    QTest::newRow("beyond nine digits") << qint64(1234567890123) << "1,234,567,890,123";
}

void TestSystem::groupedNumbers()
{
    QFETCH(qint64, number);
    QFETCH(QString, text);
    QCOMPARE(FormatGrouped(number), text);
}

void TestSystem::rowsOfAComputer()
{
    using F = SystemPlatform::Folder;
    FixedPlatform platform;
    platform.version = {5, 1, kPlatformWin32NT, {}};
    platform.folders = {{F::Windows, "/"}, {F::System, "/usr/lib"}, {F::Temp, "/tmp"}};
    platform.user = "mika";
    platform.computer = "studio";
    platform.keyboardCode = 4;
    platform.functionKeys = 12;
    platform.processors = {3, 2, 586};
    platform.memory = {37, quint64(6) << 30, quint64(1) << 30};  // 6 GiB, 1 GiB free
    platform.roots = {"/", "/media/cd", "/dev/shm"};
    platform.types = {{"/", kDriveFixed}, {"/media/cd", kDriveCdrom}, {"/dev/shm", kDriveRamdisk}};
    System sys(platform);
    SysinfoFields fields;
    const QList<SysinfoRow> rows = BuildSysinfoRows(sys, fields);

    const QList<SysinfoRow> expected = {
        {"Operating system", "Windows NT/2000/XP"}, {"Windows version", "5.1"},
        {"User name", "mika"}, {"Windows directory", "/"}, {"System directory", "/usr/lib/"},
        {"Temp directory", "/tmp/"}, {"Keyboard type", "IBM enhanced (101 or 102 key)"},
        {"Function keys", "12"}, {"Computer name", "studio"}, {"Number of processors", "2"},
        {"Active processor", "#3"}, {"Processor type", "Intel Pentium"},
        {"Total RAM", "6,291,456 Kb"}, {"Free RAM", "1,048,576 Kb"}, {"RAM used", "37 %"},
        {"Removable drives", "0"}, {"Fixed drives", "1"}, {"CD-ROM drives", "1"},
        {"RAM drives", "1"}, {"Network drives", "0"},
    };
    QCOMPARE(rows.size(), 20);
    for (int i = 0; i < expected.size(); ++i)
        QCOMPARE(rows[i], expected[i]);

    // The four procedures first, then the functions in row order.
    const QStringList order = {"Memory", "Processors", "DriveRoots", "Version", "UserName", "Directory0",
                               "Directory1", "Directory2", "Keyboard0", "Keyboard2", "ComputerName"};
    QCOMPARE(platform.calls, order);
}

void TestSystem::rowsWithMissingFacts()
{
    FixedPlatform platform;  // nothing can be answered
    platform.versionOk = false;
    platform.processors = {1, 1, 8664};
    System sys(platform);
    SysinfoFields fields;
    const QList<SysinfoRow> rows = BuildSysinfoRows(sys, fields);
    QCOMPARE(rows.size(), 20);
    QCOMPARE(rows[0].second, QString());
    QCOMPARE(rows[1].second, QStringLiteral("0.0"));
    for (int i : {2, 3, 4, 5, 6, 8, 11})
        QCOMPARE(rows[i].second, QString());
    QCOMPARE(rows[7].second, QStringLiteral("0"));
    QCOMPARE(rows[10].second, QStringLiteral("#1"));
    QCOMPARE(rows[12].second, QStringLiteral(" Kb"));
    QCOMPARE(rows[13].second, QStringLiteral(" Kb"));
    QCOMPARE(rows[14].second, QStringLiteral("0 %"));
}

QTEST_GUILESS_MAIN(TestSystem)
#include "tst_system.moc"
