// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// System's text rules and the list rows on fixed figures from a platform the
// test fills in; the Linux reading rules on a prepared tree of kernel-style
// files; and this computer, checked against readings the test takes itself.
#include "about/core/linuxplatform.h"
#include "about/core/sysinforows.h"
#include "about/core/system.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QStorageInfo>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <pwd.h>
#include <unistd.h>

using namespace velmora;

namespace {

// Figures the test sets; a missing folder or an empty name is a question the
// platform cannot answer. Drives and volumes come from the mounts table it is given.
struct FixedPlatform : LinuxPlatform {
    using LinuxPlatform::LinuxPlatform;
    bool versionOk = true;
    VersionFacts version;
    QMap<Folder, QString> folders;
    QString computer, user;
    int keyboardCode = 0, functionKeys = 0;
    ProcessorFacts processors;
    MemoryFacts memory;
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
    bool DiskSpaceFree(qint32 &k) override { cwdDuringSpaceFree = QDir::currentPath(); k = spaceFree; return spaceFreeOk; }
};

// A computer's kernel-style files: disks, a stick, a CD, RAM disks, network
// shares, pseudo file systems and the distribution's files. "$T" stands for
// the folder they are in; a path ending in "/" is a folder.
const QList<QPair<QString, QByteArray>> kComputer = {
    {"dev/sda1", ""}, {"dev/sdb1", ""}, {"dev/sr0", ""}, {"dev/zram0", ""}, {"dev/nvme0n1p2", ""},
    {"sys/block/sda/sda1/", ""}, {"sys/block/sdb/sdb1/", ""}, {"sys/block/nvme0n1/nvme0n1p2/", ""},
    {"sys/block/sda/removable", "0\n"}, {"sys/block/sdb/removable", "1\n"},
    {"disk/by-uuid/", ""}, {"disk/by-label/", ""}, {"media/MY STICK/", ""}, {"home/", ""}, {"media/cd/", ""},
    {"mounts", "proc /proc proc rw 0 0\n"
               "sysfs /sys sysfs rw 0 0\n"
               "tmpfs /sys/fs/cgroup tmpfs rw 0 0\n"
               "tmpfs /dev/shm tmpfs rw 0 0\n"
               "tmpfs /dev/shm tmpfs rw 0 0\n"  // mounted over: one drive
               "$T/dev/nvme0n1p2 / ext4 rw 0 0\n"
               "$T/dev/sda1 $T/home xfs rw 0 0\n"
               "$T/dev/sdb1 $T/media/MY\\040STICK vfat rw 0 0\n"
               "$T/dev/sr0 $T/media/cd iso9660 ro 0 0\n"
               "$T/dev/zram0 /var/cache ext4 rw 0 0\n"
               "server:/export /mnt/nfs nfs4 rw 0 0\n"
               "me@host: /mnt/ssh fuse.sshfs rw 0 0\n"
               "/dev/loop3 /snap/core/1 squashfs ro 0 0\n"
               "overlay /var/lib/docker/x overlay rw 0 0\n"},
    {"meminfo", "MemTotal:       16384000 kB\nMemFree:         1000000 kB\nMemAvailable:    4096000 kB\n"},
    // Values quoted either way or not at all, and comments between them.
    {"os-release", "NAME=\"Velmora Test OS\"\nVERSION=7\n"},
    {"keyboard", "# keyboard\nXKBMODEL='jp106'\nXKBLAYOUT=\"jp\"\n"},
};
const QList<QPair<QString, QString>> kDiskLinks = {{"by-uuid/1A2B-3C4D", "sdb1"},
    {"by-uuid/00cdef01-2345-6789-abcd-ef0123456789", "sda1"}, {"by-label/MY\\x20STICK", "sdb1"},
    {"by-label/STALE", "gone"}};

} // namespace

class TestSystem : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    LinuxPlatformFiles m_files;  // of the prepared computer
    QString at(const QString &path) const { return m_dir.filePath(path); }

private slots:
    void initTestCase()
    {
        const QByteArray t = QFile::encodeName(m_dir.path());
        for (const auto &[path, data] : kComputer) {
            QVERIFY(QDir().mkpath(QFileInfo(at(path)).path()));
            if (!path.endsWith('/'))
                QVERIFY(testing::WriteFile(at(path), QByteArray(data).replace("$T", t)));
        }
        for (const auto &[link, device] : kDiskLinks)
            QVERIFY(QFile::link(at("dev/" + device), at("disk/" + link)));
        m_files = {at("mounts"), at("sys/block"), at("disk/by-uuid"), at("disk/by-label"), at("keyboard"),
                   {at("missing-os-release"), at("os-release")}, at("meminfo")};
    }

    // PutPoints ("." and "0") and the list's FormatGrouped ("," and nothing for 0).
    void groupedDigits_data()
    {
        QTest::addColumn<qint64>("number");
        QTest::addColumn<QString>("points");
        QTest::addColumn<QString>("grouped");
        QTest::newRow("zero") << qint64(0) << "0" << "";
        QTest::newRow("three digits") << qint64(999) << "999" << "999";
        // The sign is no digit: it never stands alone in front of a separator.
        QTest::newRow("negative three digits") << qint64(-123) << "-123" << "-123";
        QTest::newRow("negative six digits") << qint64(-123456) << "-123.456" << "-123,456";
        QTest::newRow("beyond 32 bits") << qint64(1234567890123) << "1.234.567.890.123" << "1,234,567,890,123";
    }

    void groupedDigits()
    {
        QFETCH(qint64, number);
        QTEST(System().PutPoints(number), "points");
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

        platform.cwdDuringSpaceFree.clear();
        QCOMPARE(sys.FastDiskSpace(target.path() + QStringLiteral("/missing")), qint32(0));
        QVERIFY(platform.cwdDuringSpaceFree.isEmpty());  // not measured in the folder it was in
        QCOMPARE(QDir::currentPath(), startPath);
        QDir::setCurrent(before);
    }

    // The 20 rows of a computer that answers everything (its drives: the
    // prepared computer's), then of one that answers nothing but its drives.
    void rows()
    {
        using F = SystemPlatform::Folder;
        FixedPlatform platform(m_files);
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
        System sys(platform);
        SysinfoFields fields;
        // Fixed: /, home, overlay; RAM: /dev/shm (once), zram; network: nfs, sshfs;
        // no drive: /proc, /sys and below, the squashfs image.
        const QList<SysinfoRow> expected = {
            {"Operating system", "Windows NT/2000/XP"}, {"Windows version", "5.1"},
            {"User name", "mika"}, {"Windows directory", "/"}, {"System directory", "/usr/lib/"},
            {"Temp directory", "/tmp/"}, {"Keyboard type", "IBM enhanced (101 or 102 key)"},
            {"Function keys", "12"}, {"Computer name", "studio"}, {"Number of processors", "2"},
            {"Active processor", "#3"}, {"Processor type", "Intel Pentium"},
            {"Total RAM", "6,291,456 Kb"}, {"Free RAM", "1,048,576 Kb"}, {"RAM used", "37 %"},
            {"Removable drives", "1"}, {"Fixed drives", "3"}, {"CD-ROM drives", "1"},
            {"RAM drives", "2"}, {"Network drives", "2"},
        };
        QCOMPARE(BuildSysinfoRows(sys, fields), expected);

        // What cannot be answered is empty. The same fields again: every count
        // starts from zero; a processor without a name keeps the name it had.
        FixedPlatform silent(m_files);
        silent.versionOk = false;
        silent.keyboardCode = 8;  // beyond the known types
        silent.functionKeys = 300;  // more than a byte holds
        silent.processors = {~quint64(0), 64, 8664};  // 64 processors
        System nothing(silent);
        QStringList values;
        for (const SysinfoRow &row : BuildSysinfoRows(nothing, fields))
            values << row.second;
        QCOMPARE(values, QStringList({"", "0.0", "", "", "", "", "", "255", "", "64", "#18446744073709551615",
                                      "Intel Pentium", " Kb", " Kb", "0 %", "1", "3", "1", "2", "2"}));
    }

    // The default files are this computer's: the figures agree with
    // readings the test takes itself.
    void thisComputer()
    {
        System sys;
        quint8 load = 0;
        qint64 total = 0, free = 0;
        sys.FreeMemory(load, total, free);
        const qint64 expectedKb = sysconf(_SC_PHYS_PAGES) * sysconf(_SC_PAGESIZE) / 1024;
        QVERIFY2(qAbs(total - expectedKb) <= expectedKb / 100, qPrintable(QString::number(total)));
        QVERIFY(free > 0 && free <= total);

        QString type;
        qint64 count = 0;
        quint64 mask = 0;
        sys.SystemInfo(type, count, mask);  // the count itself is in the About window's test
        if (count <= 64)
            QCOMPARE(int(qPopulationCount(mask)), int(count));
        if (QSysInfo::currentCpuArchitecture() == QLatin1String("x86_64"))
            QCOMPARE(type, QString());  // a 64-bit processor has no name in the list

        const struct passwd *pw = getpwuid(geteuid());
        QVERIFY(pw);
        QCOMPARE(sys.UserName(), QString::fromLocal8Bit(pw->pw_name));
        QCOMPARE(sys.ComputerName(), QSysInfo::machineHostName());
        QCOMPARE(sys.TempDir(), QDir::tempPath() + QLatin1Char('/'));
        int major = -1, minor = -1;
        QString name;
        sys.WinVer(major, minor, name);
        const QStringList kernel = QSysInfo::kernelVersion().split(QLatin1Char('.'));
        QCOMPARE(major, kernel.value(0).toInt());
        QCOMPARE(minor, kernel.value(1).section(QLatin1Char('-'), 0, 0).toInt());
        QVERIFY(!name.isEmpty());

        sys.DriveInfo("/", total, free);  // a disk beyond 32 bits
        const QStorageInfo root(QStringLiteral("/"));
        QCOMPARE(total, root.bytesTotal());
        QVERIFY(qAbs(root.bytesAvailable() - free) < (qint64(256) << 20));
        sys.DriveInfo("/no/such/folder", total, free);
        QCOMPARE(QList<qint64>({total, free}), QList<qint64>({0, 0}));

        QTemporaryDir dir;
        const qint64 kib = sys.FastDiskSpace(dir.path());
        const qint64 expectedKib = qMin<qint64>(QStorageInfo(dir.path()).bytesAvailable() / 1024, INT32_MAX);
        QVERIFY2(qAbs(kib - expectedKib) < (256 << 10) || (kib == INT32_MAX && expectedKib == INT32_MAX),
                 qPrintable(QStringLiteral("%1 %2").arg(kib).arg(expectedKib)));
    }

    void textReaders()
    {
        QCOMPARE(CpuListToMask("0-3,6\n"), quint64(0x4F));
        QCOMPARE(CpuListToMask("62-70"), quint64(3) << 62);  // no bit beyond 63

        // Only two hex digits make an escape; a sign or a blank is kept as written.
        const QList<QPair<QString, QString>> labels = {{"\\xe5\\xbd\\xb1\\xe9\\x9f\\xb3", "影音"},
            {"A\\x-1B", "A\\x-1B"}, {"A\\x+fB", "A\\x+fB"}, {"A\\x fB", "A\\x fB"}, {"\\x4", "\\x4"}};
        for (const auto &l : labels)
            QCOMPARE(DecodeLabel(l.first), l.second);

        quint32 serial = 0;
        QVERIFY(SerialFromUuid("0123456789ABCDEF", serial));  // NTFS: the last eight digits
        QCOMPARE(serial, 0x89ABCDEFu);
        QVERIFY(!SerialFromUuid("12-34", serial));
        QVERIFY(!SerialFromUuid("zzzz-zzzz", serial));
    }

    void preparedComputer()
    {
        const QString stick = at("media/MY STICK"), home = at("home"), cd = at("media/cd");
        LinuxPlatform platform(m_files);
        System sys(platform);
        QCOMPARE(sys.DriveType(stick + "/"), QStringLiteral("Removable drive"));
        QCOMPARE(sys.DriveType(stick + "/sub"), QString());  // not a drive root

        QCOMPARE(sys.SerialNumber(stick), QStringLiteral("1A2B-3C4D"));
        QCOMPARE(sys.SerialNumber(home), QStringLiteral("00CD-EF01"));
        QCOMPARE(sys.SerialNumber(cd), QStringLiteral("0000-0000"));
        QCOMPARE(sys.VolumeLabel(stick), QStringLiteral("MY STICK"));
        QCOMPARE(sys.VolumeLabel(home), QStringLiteral("NoName"));
        QCOMPARE(sys.VolumeLabel("/mnt/nfs"), QString());  // the mount point cannot be read here

        quint8 load = 0;
        qint64 total = 0, free = 0;
        sys.FreeMemory(load, total, free);
        QCOMPARE(QList<qint64>({total, free, load}), QList<qint64>({16384000, 4096000, 75}));
        QString name;
        int major = 0, minor = 0;
        sys.WinVer(major, minor, name);
        QCOMPARE(name, QStringLiteral("Velmora Test OS 7"));
        QCOMPARE(sys.KeyboardType(), QStringLiteral("Japanese"));
        QCOMPARE(int(sys.FunctionKeys()), 12);

        // A container host may have thousands of mounts: one listing, one
        // reading. The table the listing started with answers every question,
        // even if the file changes meanwhile; outside a listing each reads afresh.
        LinuxPlatformFiles files = m_files;
        files.mounts = at("listing-mounts");
        QVERIFY(QFile::copy(m_files.mounts, files.mounts));
        LinuxPlatform listing(files);
        listing.BeginDriveListing();
        const QStringList roots = listing.DriveRoots();
        QVERIFY(testing::WriteFile(files.mounts, "tmpfs /mnt/nfs tmpfs rw 0 0\n"));
        QCOMPARE(listing.DriveRoots(), roots);
        QCOMPARE(listing.DriveType("/mnt/nfs"), int(kDriveRemote));
        QCOMPARE(listing.DriveType("/dev/shm"), int(kDriveRamdisk));
        listing.EndDriveListing();
        QCOMPARE(listing.DriveType("/mnt/nfs"), int(kDriveRamdisk));
        QCOMPARE(listing.DriveType("/dev/shm"), int(kDriveNoRootDir));
    }
};

QTEST_GUILESS_MAIN(TestSystem)
#include "tst_system.moc"
