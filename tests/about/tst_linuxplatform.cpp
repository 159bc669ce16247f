// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// System on this computer, checked against readings the test takes itself, and
// the Linux reading rules on a prepared tree of kernel-style files.
#include "about/core/linuxplatform.h"
#include "about/core/system.h"

#include <QDir>
#include <QFile>
#include <QStorageInfo>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <pwd.h>
#include <sys/statvfs.h>
#include <unistd.h>

using namespace velmora;

namespace {

bool WriteFile(const QString &path, const QByteArray &data)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

quint64 StatvfsFree(const QString &path, quint64 *total = nullptr)
{
    struct statvfs st;
    if (statvfs(QFile::encodeName(path).constData(), &st) != 0)
        return 0;
    if (total)
        *total = quint64(st.f_blocks) * st.f_frsize;
    return quint64(st.f_bavail) * st.f_frsize;
}

} // namespace

class TestLinuxPlatform : public QObject
{
    Q_OBJECT
private slots:
    // this computer
    void memoryAndProcessors();
    void namesFoldersAndVersion();
    void diskSpace();
    void driveTypes();

    // prepared files
    void mountTable();
    void driveListingReadsTheTableOnce();
    void serialFromUuid_data();
    void serialFromUuid();
    void keyboardModels_data();
    void keyboardModels();
    void preparedComputer();
};

void TestLinuxPlatform::memoryAndProcessors()
{
    System sys;
    quint8 load = 0;
    qint64 total = 0, free = 0;
    sys.FreeMemory(load, total, free);
    const qint64 pages = sysconf(_SC_PHYS_PAGES), pageSize = sysconf(_SC_PAGESIZE);
    const qint64 expectedKb = pages * pageSize / 1024;
    QVERIFY2(qAbs(total - expectedKb) <= expectedKb / 100, qPrintable(QString::number(total)));
    QVERIFY(free > 0 && free <= total);
    // What the machine has free now is at least what the kernel calls unused.
    const qint64 unusedKb = qint64(sysconf(_SC_AVPHYS_PAGES)) * pageSize / 1024;
    QVERIFY(free >= unusedKb - expectedKb / 50);
    const int usedPercent = int(100.0 * double(total - free) / double(total) + 0.5);
    QVERIFY(qAbs(int(load) - usedPercent) <= 2);

    QString type;
    qint64 count = 0;
    quint64 mask = 0;
    sys.SystemInfo(type, count, mask);
    QCOMPARE(count, qint64(sysconf(_SC_NPROCESSORS_ONLN)));
    if (count <= 64)
        QCOMPARE(int(qPopulationCount(mask)), int(count));
    if (QSysInfo::currentCpuArchitecture() == QLatin1String("x86_64"))
        QCOMPARE(type, QString());  // a 64-bit processor has no name in the list
}

void TestLinuxPlatform::namesFoldersAndVersion()
{
    System sys;
    const struct passwd *pw = getpwuid(geteuid());
    QVERIFY(pw);
    QCOMPARE(sys.UserName(), QString::fromLocal8Bit(pw->pw_name));
    QCOMPARE(sys.ComputerName(), QSysInfo::machineHostName());
    QCOMPARE(sys.WinDir(), QStringLiteral("/"));
    QVERIFY(sys.SystemDir().endsWith(QLatin1Char('/')));
    QVERIFY(QFileInfo(sys.SystemDir()).isDir());
    QCOMPARE(sys.TempDir(), QDir::tempPath() + QLatin1Char('/'));

    int major = -1, minor = -1;
    QString name;
    sys.WinVer(major, minor, name);
    const QStringList kernel = QSysInfo::kernelVersion().split(QLatin1Char('.'));
    QCOMPARE(major, kernel.value(0).toInt());
    QCOMPARE(minor, kernel.value(1).section(QLatin1Char('-'), 0, 0).toInt());
    if (QFile::exists("/etc/os-release"))
        QCOMPARE(name, QSysInfo::prettyProductName());
    QVERIFY(!name.isEmpty());
}

void TestLinuxPlatform::diskSpace()
{
    System sys;
    qint64 total = 0, free = 0;
    sys.DriveInfo("/", total, free);
    quint64 expectedTotal = 0;
    const quint64 expectedFree = StatvfsFree("/", &expectedTotal);
    QCOMPARE(quint64(total), expectedTotal);
    QVERIFY(qAbs(qint64(expectedFree) - free) < (qint64(256) << 20));

    qint64 t2 = -1, f2 = -1;
    sys.DriveInfo("/no/such/folder", t2, f2);
    QCOMPARE(t2, qint64(0));
    QCOMPARE(f2, qint64(0));

    QTemporaryDir dir;
    const QString before = QDir::currentPath();
    const qint64 kib = sys.FastDiskSpace(dir.path());
    const qint64 expectedKib = qMin<qint64>(StatvfsFree(dir.path()) / 1024, INT32_MAX);
    QVERIFY2(qAbs(kib - expectedKib) < (256 << 10) || (kib == INT32_MAX && expectedKib == INT32_MAX),
             qPrintable(QStringLiteral("%1 %2").arg(kib).arg(expectedKib)));
    QCOMPARE(QDir::currentPath(), before);
    QCOMPARE(sys.FastDiskSpace("/no/such/folder"), qint32(0));
    QCOMPARE(QDir::currentPath(), before);
}

void TestLinuxPlatform::driveTypes()
{
    System sys;
    QCOMPARE(sys.DriveType("/proc"), QString());
    QCOMPARE(sys.DriveType("/no/such/folder"), QString());
    QCOMPARE(sys.DriveType("C:\\"), QString());
    const QStorageInfo root = QStorageInfo::root();
    const QByteArray fs = root.fileSystemType();
    if ((fs == "ext4" || fs == "xfs" || fs == "btrfs" || fs == "overlay") && root.device().startsWith("/dev/")) {
        const QString disk = QFileInfo(QString::fromLocal8Bit(root.device())).fileName();
        QFile flag("/sys/block/" + disk + "/removable");
        if (!flag.open(QIODevice::ReadOnly) || flag.readAll().trimmed() == "0") {
            QCOMPARE(sys.DriveType("/"), QStringLiteral("Fixed drive"));
            int removable, fixed, cd, ram, network;
            sys.Drives(removable, fixed, cd, ram, network);
            QVERIFY(fixed >= 1);
        }
    }
}

void TestLinuxPlatform::mountTable()
{
    const QList<MountEntry> entries = ParseMounts(
            "/dev/sdb1 /media/u/MY\\040STICK vfat rw 0 0\n"
            "host:/a\\134b /mnt/back\\134slash nfs4 rw 0 0\n"
            "broken-line\n");
    QCOMPARE(entries.size(), 2);
    QCOMPARE(entries[0].mountPoint, QStringLiteral("/media/u/MY STICK"));
    QCOMPARE(entries[0].fsType, QStringLiteral("vfat"));
    QCOMPARE(entries[1].source, QStringLiteral("host:/a\\b"));
    QCOMPARE(entries[1].mountPoint, QStringLiteral("/mnt/back\\slash"));
    QCOMPARE(CpuListToMask("0-3,6\n"), quint64(0x4F));
    QCOMPARE(CpuListToMask("0"), quint64(1));
    QCOMPARE(CpuListToMask("62-70"), quint64(3) << 62);
    QCOMPARE(DecodeLabel("MY\\x20STICK"), QStringLiteral("MY STICK"));
    QCOMPARE(DecodeLabel("\\xe5\\xbd\\xb1\\xe9\\x9f\\xb3"), QStringLiteral("影音"));
    // Only two hex digits make an escape; a sign or a blank is kept as written.
    QCOMPARE(DecodeLabel("A\\x-1B"), QStringLiteral("A\\x-1B"));
    QCOMPARE(DecodeLabel("A\\x+fB"), QStringLiteral("A\\x+fB"));
    QCOMPARE(DecodeLabel("A\\x fB"), QStringLiteral("A\\x fB"));
    QCOMPARE(DecodeLabel("\\x4"), QStringLiteral("\\x4"));
}

void TestLinuxPlatform::driveListingReadsTheTableOnce()
{
    // A container host with thousands of mounts: one listing, one reading.
    QTemporaryDir dir;
    LinuxPlatformFiles files;
    files.mounts = dir.filePath("mounts");
    files.sysBlock = dir.filePath("sys/block");
    QByteArray table;
    for (int i = 0; i < 2000; ++i)
        table += "server:/export/" + QByteArray::number(i) + " /mnt/n" + QByteArray::number(i) + " nfs4 rw 0 0\n";
    table += "tmpfs /run tmpfs rw 0 0\n";
    QVERIFY(WriteFile(files.mounts, table));

    // While the listing runs, the table it started with answers every
    // question, even if the file changes meanwhile.
    LinuxPlatform platform(files);
    platform.BeginDriveListing();
    const QStringList roots = platform.DriveRoots();
    QCOMPARE(roots.size(), 2001);
    QVERIFY(WriteFile(files.mounts, "tmpfs /mnt/n5 tmpfs rw 0 0\n"));
    QCOMPARE(platform.DriveType("/mnt/n5"), int(kDriveRemote));
    QCOMPARE(platform.DriveType("/run"), int(kDriveRamdisk));
    platform.EndDriveListing();
    // Outside a listing every question reads afresh.
    QCOMPARE(platform.DriveType("/mnt/n5"), int(kDriveRamdisk));
    QCOMPARE(platform.DriveType("/run"), int(kDriveNoRootDir));

    QVERIFY(WriteFile(files.mounts, table));
    System sys(platform);
    int removable = -1, fixed = -1, cdrom = -1, ram = -1, network = -1;
    sys.Drives(removable, fixed, cdrom, ram, network);
    QCOMPARE(QList<int>({removable, fixed, cdrom, ram, network}), QList<int>({0, 0, 0, 1, 2000}));
}

void TestLinuxPlatform::serialFromUuid_data()
{
    QTest::addColumn<QString>("uuid");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<quint32>("serial");
    QTest::newRow("fat") << "1A2B-3C4D" << true << 0x1A2B3C4Du;
    QTest::newRow("ext4") << "5b1c0a3e-7f44-4c2b-9d1e-0123456789ab" << true << 0x5B1C0A3Eu;
    QTest::newRow("ntfs") << "0123456789ABCDEF" << true << 0x89ABCDEFu;
    QTest::newRow("too short") << "12-34" << false << 0u;
    QTest::newRow("not hex") << "zzzz-zzzz" << false << 0u;
}

void TestLinuxPlatform::serialFromUuid()
{
    QFETCH(QString, uuid);
    QFETCH(bool, ok);
    QFETCH(quint32, serial);
    quint32 got = 0;
    QCOMPARE(SerialFromUuid(uuid, got), ok);
    if (ok)
        QCOMPARE(got, serial);
}

void TestLinuxPlatform::keyboardModels_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("type");
    QTest::addColumn<int>("keys");
    QTest::newRow("pc105") << QByteArray("XKBMODEL=\"pc105\"\nXKBLAYOUT=\"de\"\n")
                           << "IBM enhanced (101 or 102 key)" << 12;
    QTest::newRow("pc101 unquoted") << QByteArray("# keyboard\nXKBMODEL=pc101\n") << "IBM enhanced (101 or 102 key)" << 12;
    QTest::newRow("japanese") << QByteArray("XKBMODEL='jp106'\n") << "Japanese" << 12;
    QTest::newRow("olivetti") << QByteArray("XKBMODEL=olivetti\n") << "Olivetti \"ico\" (102 key)" << 12;
    QTest::newRow("apple") << QByteArray("XKBMODEL=macintosh\n") << "" << 0;
    QTest::newRow("no model") << QByteArray("XKBLAYOUT=us\n") << "" << 0;
}

void TestLinuxPlatform::keyboardModels()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, type);
    QFETCH(int, keys);
    QTemporaryDir dir;
    LinuxPlatformFiles files;
    files.keyboard = dir.filePath("keyboard");
    QVERIFY(WriteFile(files.keyboard, file));
    LinuxPlatform platform(files);
    System sys(platform);
    QCOMPARE(sys.KeyboardType(), type);
    QCOMPARE(int(sys.FunctionKeys()), keys);
}

void TestLinuxPlatform::preparedComputer()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString t = dir.path();
    // Devices, the disks' removable flags, and the udev link folders.
    for (const char *dev : {"sda1", "sdb1", "sr0", "zram0", "nvme0n1p2"})
        QVERIFY(WriteFile(t + "/dev/" + dev, {}));
    QVERIFY(WriteFile(t + "/sys/block/sda/removable", "0\n"));
    QVERIFY(QDir().mkpath(t + "/sys/block/sda/sda1"));
    QVERIFY(WriteFile(t + "/sys/block/sdb/removable", "1\n"));
    QVERIFY(QDir().mkpath(t + "/sys/block/sdb/sdb1"));
    QVERIFY(WriteFile(t + "/sys/block/nvme0n1/removable", "0\n"));
    QVERIFY(QDir().mkpath(t + "/sys/block/nvme0n1/nvme0n1p2"));
    QVERIFY(QDir().mkpath(t + "/disk/by-uuid"));
    QVERIFY(QDir().mkpath(t + "/disk/by-label"));
    QVERIFY(QFile::link(t + "/dev/sdb1", t + "/disk/by-uuid/1A2B-3C4D"));
    QVERIFY(QFile::link(t + "/dev/sda1", t + "/disk/by-uuid/abcdef01-2345-6789-abcd-ef0123456789"));
    QVERIFY(QFile::link(t + "/dev/sdb1", t + "/disk/by-label/MY\\x20STICK"));
    QVERIFY(QFile::link(t + "/dev/gone", t + "/disk/by-label/STALE"));
    const QString stick = t + "/media/MY STICK", home = t + "/home", cd = t + "/media/cd";
    for (const QString &p : {stick, home, cd})
        QVERIFY(QDir().mkpath(p));

    const QByteArray td = QFile::encodeName(t);
    QByteArray mounts;
    mounts += "proc /proc proc rw 0 0\n";
    mounts += "sysfs /sys sysfs rw 0 0\n";
    mounts += "tmpfs /sys/fs/cgroup tmpfs rw 0 0\n";
    mounts += "tmpfs /dev/shm tmpfs rw 0 0\n";
    mounts += "tmpfs /dev/shm tmpfs rw 0 0\n";  // mounted over: one drive
    mounts += td + "/dev/nvme0n1p2 / ext4 rw 0 0\n";
    mounts += td + "/dev/sda1 " + td + "/home xfs rw 0 0\n";
    mounts += td + "/dev/sdb1 " + td + "/media/MY\\040STICK vfat rw 0 0\n";
    mounts += td + "/dev/sr0 " + td + "/media/cd iso9660 ro 0 0\n";
    mounts += td + "/dev/zram0 /var/cache ext4 rw 0 0\n";
    mounts += "server:/export /mnt/nfs nfs4 rw 0 0\n";
    mounts += "me@host: /mnt/ssh fuse.sshfs rw 0 0\n";
    mounts += "/dev/loop3 /snap/core/1 squashfs ro 0 0\n";
    mounts += "overlay /var/lib/docker/x overlay rw 0 0\n";

    LinuxPlatformFiles files;
    files.mounts = t + "/mounts";
    files.sysBlock = t + "/sys/block";
    files.diskByUuid = t + "/disk/by-uuid";
    files.diskByLabel = t + "/disk/by-label";
    files.meminfo = t + "/meminfo";
    files.cpuOnline = t + "/online";
    files.osRelease = {t + "/missing-os-release", t + "/os-release"};
    QVERIFY(WriteFile(files.mounts, mounts));
    QVERIFY(WriteFile(files.meminfo, "MemTotal:       16384000 kB\nMemFree:         1000000 kB\n"
                                     "MemAvailable:    4096000 kB\n"));
    QVERIFY(WriteFile(files.cpuOnline, "0-3,6\n"));
    QVERIFY(WriteFile(t + "/os-release", "NAME=\"Velmora Test OS\"\nVERSION=\"7 (quiet)\"\n"));

    LinuxPlatform platform(files);
    System sys(platform);
    int removable = -1, fixed = -1, cdrom = -1, ram = -1, network = -1;
    sys.Drives(removable, fixed, cdrom, ram, network);
    // fixed: /, home, overlay; RAM: /dev/shm (once), zram; network: nfs, sshfs.
    QCOMPARE(QList<int>({removable, fixed, cdrom, ram, network}), QList<int>({1, 3, 1, 2, 2}));
    QCOMPARE(sys.DriveType(stick), QStringLiteral("Removable drive"));
    QCOMPARE(sys.DriveType(stick + "/"), QStringLiteral("Removable drive"));
    QCOMPARE(sys.DriveType(cd), QStringLiteral("CD-ROM drive"));
    QCOMPARE(sys.DriveType("/sys/fs/cgroup"), QString());
    QCOMPARE(sys.DriveType("/snap/core/1"), QString());
    QCOMPARE(sys.DriveType(stick + "/sub"), QString());  // not a drive root

    QCOMPARE(sys.SerialNumber(stick), QStringLiteral("1A2B-3C4D"));
    QCOMPARE(sys.SerialNumber(home), QStringLiteral("ABCD-EF01"));
    QCOMPARE(sys.SerialNumber(cd), QStringLiteral("0000-0000"));
    QCOMPARE(sys.VolumeLabel(stick), QStringLiteral("MY STICK"));
    QCOMPARE(sys.VolumeLabel(home), QStringLiteral("NoName"));
    QCOMPARE(sys.VolumeLabel("/mnt/nfs"), QString());  // the mount point cannot be read here

    quint8 load = 0;
    qint64 total = 0, free = 0;
    sys.FreeMemory(load, total, free);
    QCOMPARE(total, qint64(16384000));
    QCOMPARE(free, qint64(4096000));
    QCOMPARE(int(load), 75);

    QString type;
    qint64 count = 0;
    quint64 mask = 0;
    sys.SystemInfo(type, count, mask);
    QCOMPARE(mask, quint64(0x4F));

    int major = 0, minor = 0;
    QString name;
    sys.WinVer(major, minor, name);
    QCOMPARE(name, QStringLiteral("Velmora Test OS 7 (quiet)"));
}

QTEST_GUILESS_MAIN(TestLinuxPlatform)
#include "tst_linuxplatform.moc"
