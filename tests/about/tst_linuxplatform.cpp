// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// System on this computer, checked against readings the test takes itself, and
// the Linux reading rules on a prepared tree of kernel-style files.
#include "about/core/linuxplatform.h"
#include "about/core/system.h"

#include <QDir>
#include <QFile>
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

// Bytes free for an ordinary user and in all, as statvfs tells them.
QPair<quint64, quint64> Statvfs(const QString &path)
{
    struct statvfs st;
    if (statvfs(QFile::encodeName(path).constData(), &st) != 0)
        return {0, 0};
    return {quint64(st.f_bavail) * st.f_frsize, quint64(st.f_blocks) * st.f_frsize};
}

// A computer's kernel-style files under folder t: disks, a stick, a CD, RAM
// disks, network shares, pseudo file systems and the distribution's files.
void PrepareComputer(const QString &t, LinuxPlatformFiles &files)
{
    // Devices, the disks' removable flags and partitions, the udev links.
    for (const char *dev : {"sda1", "sdb1", "sr0", "zram0", "nvme0n1p2"})
        QVERIFY(WriteFile(t + "/dev/" + dev, {}));
    const QList<QPair<QString, QByteArray>> disks = {{"sda/sda1", "0\n"}, {"sdb/sdb1", "1\n"},
                                                     {"nvme0n1/nvme0n1p2", "0\n"}};
    for (const auto &d : disks) {
        QVERIFY(QDir().mkpath(t + "/sys/block/" + d.first));
        QVERIFY(WriteFile(t + "/sys/block/" + d.first.section('/', 0, 0) + "/removable", d.second));
    }
    const QList<QPair<QString, QString>> links = {{"by-uuid/1A2B-3C4D", "sdb1"},
        {"by-uuid/00cdef01-2345-6789-abcd-ef0123456789", "sda1"}, {"by-label/MY\\x20STICK", "sdb1"},
        {"by-label/STALE", "gone"}};
    for (const auto &l : links) {
        QVERIFY(QDir().mkpath(t + "/disk/" + l.first.section('/', 0, 0)));
        QVERIFY(QFile::link(t + "/dev/" + l.second, t + "/disk/" + l.first));
    }
    const QString stick = t + "/media/MY STICK", home = t + "/home", cd = t + "/media/cd";
    for (const QString &p : {stick, home, cd})
        QVERIFY(QDir().mkpath(p));

    const QByteArray td = QFile::encodeName(t);
    const QByteArray mounts = "proc /proc proc rw 0 0\n"
                              "sysfs /sys sysfs rw 0 0\n"
                              "tmpfs /sys/fs/cgroup tmpfs rw 0 0\n"
                              "tmpfs /dev/shm tmpfs rw 0 0\n"
                              "tmpfs /dev/shm tmpfs rw 0 0\n"  // mounted over: one drive
                              + td + "/dev/nvme0n1p2 / ext4 rw 0 0\n"
                              + td + "/dev/sda1 " + td + "/home xfs rw 0 0\n"
                              + td + "/dev/sdb1 " + td + "/media/MY\\040STICK vfat rw 0 0\n"
                              + td + "/dev/sr0 " + td + "/media/cd iso9660 ro 0 0\n"
                              + td + "/dev/zram0 /var/cache ext4 rw 0 0\n"
                              "server:/export /mnt/nfs nfs4 rw 0 0\n"
                              "me@host: /mnt/ssh fuse.sshfs rw 0 0\n"
                              "/dev/loop3 /snap/core/1 squashfs ro 0 0\n"
                              "overlay /var/lib/docker/x overlay rw 0 0\n";
    files.mounts = t + "/mounts";
    files.sysBlock = t + "/sys/block";
    files.diskByUuid = t + "/disk/by-uuid";
    files.diskByLabel = t + "/disk/by-label";
    files.meminfo = t + "/meminfo";
    files.osRelease = {t + "/missing-os-release", t + "/os-release"};
    files.keyboard = t + "/keyboard";
    QVERIFY(WriteFile(files.mounts, mounts));
    QVERIFY(WriteFile(files.meminfo, "MemTotal:       16384000 kB\nMemFree:         1000000 kB\n"
                                    "MemAvailable:    4096000 kB\n"));
    // Values quoted either way or not at all, and comments between them.
    QVERIFY(WriteFile(t + "/os-release", "NAME=\"Velmora Test OS\"\nVERSION=7\n"));
    QVERIFY(WriteFile(files.keyboard, "# keyboard\nXKBMODEL='jp106'\nXKBLAYOUT=\"jp\"\n"));
}

} // namespace

class TestLinuxPlatform : public QObject
{
    Q_OBJECT
private slots:
    void thisComputersMemoryAndProcessors()
    {
        System sys;
        quint8 load = 0;
        qint64 total = 0, free = 0;
        sys.FreeMemory(load, total, free);
        const qint64 pageSize = sysconf(_SC_PAGESIZE);
        const qint64 expectedKb = sysconf(_SC_PHYS_PAGES) * pageSize / 1024;
        QVERIFY2(qAbs(total - expectedKb) <= expectedKb / 100, qPrintable(QString::number(total)));
        // What the machine has free now is at least what the kernel calls unused.
        const qint64 unusedKb = qint64(sysconf(_SC_AVPHYS_PAGES)) * pageSize / 1024;
        QVERIFY(free <= total && free >= unusedKb - expectedKb / 50);
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

    void thisComputersNamesFoldersAndVersion()
    {
        System sys;
        const struct passwd *pw = getpwuid(geteuid());
        QVERIFY(pw);
        QCOMPARE(sys.UserName(), QString::fromLocal8Bit(pw->pw_name));
        QCOMPARE(sys.ComputerName(), QSysInfo::machineHostName());
        QCOMPARE(sys.WinDir(), QStringLiteral("/"));
        QVERIFY(sys.SystemDir().endsWith(QLatin1Char('/')) && QFileInfo(sys.SystemDir()).isDir());
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

    void thisComputersDisks()
    {
        System sys;
        qint64 total = -1, free = -1;
        sys.DriveInfo("/", total, free);  // a disk beyond 32 bits
        const auto root = Statvfs("/");
        QCOMPARE(quint64(total), root.second);
        QVERIFY(qAbs(qint64(root.first) - free) < (qint64(256) << 20));
        sys.DriveInfo("/no/such/folder", total, free);
        QCOMPARE(QList<qint64>({total, free}), QList<qint64>({0, 0}));

        QTemporaryDir dir;
        const qint64 kib = sys.FastDiskSpace(dir.path());
        const qint64 expectedKib = qMin<qint64>(Statvfs(dir.path()).first / 1024, INT32_MAX);
        QVERIFY2(qAbs(kib - expectedKib) < (256 << 10) || (kib == INT32_MAX && expectedKib == INT32_MAX),
                 qPrintable(QStringLiteral("%1 %2").arg(kib).arg(expectedKib)));

        QCOMPARE(sys.DriveType("/proc"), QString());
        QCOMPARE(sys.DriveType("/no/such/folder"), QString());
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

    void driveListingReadsTheTableOnce()
    {
        // A container host may have thousands of mounts: one listing, one reading.
        QTemporaryDir dir;
        LinuxPlatformFiles files;
        files.mounts = dir.filePath("mounts");
        files.sysBlock = dir.filePath("sys/block");
        QVERIFY(WriteFile(files.mounts, "server:/export /mnt/n5 nfs4 rw 0 0\ntmpfs /run tmpfs rw 0 0\n"));

        // The table the listing started with answers every question, even
        // if the file changes meanwhile; outside a listing each reads afresh.
        LinuxPlatform platform(files);
        platform.BeginDriveListing();
        QCOMPARE(platform.DriveRoots(), QStringList({"/mnt/n5", "/run"}));
        QVERIFY(WriteFile(files.mounts, "tmpfs /mnt/n5 tmpfs rw 0 0\n"));
        QCOMPARE(platform.DriveType("/mnt/n5"), int(kDriveRemote));
        QCOMPARE(platform.DriveType("/run"), int(kDriveRamdisk));
        platform.EndDriveListing();
        QCOMPARE(platform.DriveType("/mnt/n5"), int(kDriveRamdisk));
        QCOMPARE(platform.DriveType("/run"), int(kDriveNoRootDir));
    }

    void preparedComputer()
    {
        QTemporaryDir dir;
        const QString t = dir.path();
        const QString stick = t + "/media/MY STICK", home = t + "/home", cd = t + "/media/cd";
        LinuxPlatformFiles files;
        PrepareComputer(t, files);
        if (QTest::currentTestFailed())
            return;
        LinuxPlatform platform(files);
        System sys(platform);
        // fixed: /, home, overlay; RAM: /dev/shm (once), zram; network: nfs, sshfs;
        // no drive: /proc, /sys and below, the squashfs image.
        int removable = -1, fixed = -1, cdrom = -1, ram = -1, network = -1;
        sys.Drives(removable, fixed, cdrom, ram, network);
        QCOMPARE(QList<int>({removable, fixed, cdrom, ram, network}), QList<int>({1, 3, 1, 2, 2}));
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
    }
};

QTEST_GUILESS_MAIN(TestLinuxPlatform)
#include "tst_linuxplatform.moc"
