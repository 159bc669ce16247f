// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "about/core/linuxplatform.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>

#include <cctype>
#include <climits>
#include <cmath>
#include <limits>

#include <pwd.h>
#include <sched.h>
#include <sys/statvfs.h>
#include <sys/utsname.h>
#include <unistd.h>

namespace velmora {

SystemPlatform &NativePlatform()
{
    static LinuxPlatform platform;
    return platform;
}

namespace {

QByteArray ReadSmallFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.read(1 << 20);
}

QString Unescape(const QByteArray &field)
{
    QByteArray out;
    for (int i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()
            && field[i + 1] >= '0' && field[i + 1] <= '3' && field[i + 2] >= '0' && field[i + 2] <= '7'
            && field[i + 3] >= '0' && field[i + 3] <= '7') {
            out += char(((field[i + 1] - '0') << 6) | ((field[i + 2] - '0') << 3) | (field[i + 3] - '0'));
            i += 3;
        } else {
            out += field[i];
        }
    }
    return QFile::decodeName(out);
}

const QSet<QString> &PseudoFileSystems()
{
    static const QSet<QString> set = {
        QStringLiteral("proc"), QStringLiteral("sysfs"), QStringLiteral("devtmpfs"),
        QStringLiteral("devpts"), QStringLiteral("cgroup"), QStringLiteral("cgroup2"),
        QStringLiteral("securityfs"), QStringLiteral("pstore"), QStringLiteral("debugfs"),
        QStringLiteral("tracefs"), QStringLiteral("configfs"), QStringLiteral("fusectl"),
        QStringLiteral("mqueue"), QStringLiteral("hugetlbfs"), QStringLiteral("bpf"),
        QStringLiteral("binfmt_misc"), QStringLiteral("autofs"), QStringLiteral("efivarfs"),
        QStringLiteral("rpc_pipefs"), QStringLiteral("nsfs"), QStringLiteral("selinuxfs"),
        QStringLiteral("nfsd"), QStringLiteral("devfs"), QStringLiteral("none"),
        QStringLiteral("squashfs"), QStringLiteral("erofs"), QStringLiteral("fuse.lxcfs"),
        QStringLiteral("fuse.gvfsd-fuse"), QStringLiteral("fuse.portal"),
        QStringLiteral("fuse.snapfuse"),
    };
    return set;
}

const QSet<QString> &NetworkFileSystems()
{
    static const QSet<QString> set = {
        QStringLiteral("nfs"), QStringLiteral("nfs4"), QStringLiteral("cifs"),
        QStringLiteral("smb3"), QStringLiteral("smbfs"), QStringLiteral("ncpfs"),
        QStringLiteral("afs"), QStringLiteral("ceph"), QStringLiteral("9p"),
        QStringLiteral("glusterfs"), QStringLiteral("lustre"), QStringLiteral("davfs"),
        QStringLiteral("fuse.sshfs"), QStringLiteral("fuse.glusterfs"), QStringLiteral("fuse.rclone"),
        QStringLiteral("fuse.davfs2"), QStringLiteral("fuse.s3fs"), QStringLiteral("fuse.smbnetfs"),
    };
    return set;
}

const QSet<QString> &DiskFileSystems()
{
    static const QSet<QString> set = {
        QStringLiteral("ext2"), QStringLiteral("ext3"), QStringLiteral("ext4"),
        QStringLiteral("xfs"), QStringLiteral("btrfs"), QStringLiteral("zfs"),
        QStringLiteral("f2fs"), QStringLiteral("jfs"), QStringLiteral("reiserfs"),
        QStringLiteral("vfat"), QStringLiteral("msdos"), QStringLiteral("exfat"),
        QStringLiteral("ntfs"), QStringLiteral("ntfs3"), QStringLiteral("fuseblk"),
        QStringLiteral("hfs"), QStringLiteral("hfsplus"), QStringLiteral("apfs"),
        QStringLiteral("overlay"), QStringLiteral("bcachefs"), QStringLiteral("nilfs2"),
        QStringLiteral("ufs"), QStringLiteral("minix"),
    };
    return set;
}

QString CanonicalDevice(const QString &source)
{
    if (!source.startsWith(QLatin1Char('/')))
        return QString();
    const QString canonical = QFileInfo(source).canonicalFilePath();
    return canonical.isEmpty() ? source : canonical;
}

} // namespace

QHash<QString, QString> ParseAssignments(const QByteArray &file)
{
    QHash<QString, QString> values;
    const QList<QByteArray> lines = file.split('\n');
    for (const QByteArray &rawLine : lines) {
        const QString line = QString::fromUtf8(rawLine).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const int eq = line.indexOf(QLatin1Char('='));
        if (eq <= 0)
            continue;
        QString value = line.mid(eq + 1).trimmed();
        if (value.size() >= 2 && (value.front() == QLatin1Char('"') || value.front() == QLatin1Char('\''))
            && value.back() == value.front()) {
            const bool doubleQuoted = value.front() == QLatin1Char('"');
            value = value.mid(1, value.size() - 2);
            if (doubleQuoted) {
                QString plain;
                for (int i = 0; i < value.size(); ++i) {
                    if (value[i] == QLatin1Char('\\') && i + 1 < value.size())
                        ++i;
                    plain += value[i];
                }
                value = plain;
            }
        }
        values.insert(line.left(eq).trimmed(), value);
    }
    return values;
}

QList<MountEntry> ParseMounts(const QByteArray &table)
{
    QList<MountEntry> entries;
    const QList<QByteArray> lines = table.split('\n');
    for (const QByteArray &line : lines) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 3)
            continue;
        entries.append({Unescape(fields[0]), Unescape(fields[1]), Unescape(fields[2])});
    }
    return entries;
}

void ParseMeminfo(const QByteArray &file, qint64 &totalKb, qint64 &availKb)
{
    qint64 freeKb = -1;
    totalKb = availKb = -1;
    const QList<QByteArray> lines = file.split('\n');
    for (const QByteArray &line : lines) {
        const int colon = line.indexOf(':');
        if (colon < 0)
            continue;
        const QByteArray key = line.left(colon);
        QByteArray value = line.mid(colon + 1).trimmed();
        if (value.endsWith(" kB"))
            value.chop(3);
        bool ok = false;
        const qint64 kb = value.trimmed().toLongLong(&ok);
        // A figure whose byte count would not fit is no reading.
        if (!ok || kb < 0 || kb > std::numeric_limits<qint64>::max() / 1024)
            continue;
        if (key == "MemTotal")
            totalKb = kb;
        else if (key == "MemAvailable")
            availKb = kb;
        else if (key == "MemFree")
            freeKb = kb;
    }
    if (availKb < 0)
        availKb = freeKb;
}

MountTable BuildMountTable(const QByteArray &table)
{
    // A mount point mounted over again is one drive: its topmost mount counts.
    MountTable mounts;
    const QList<MountEntry> all = ParseMounts(table);
    for (const MountEntry &entry : all) {
        const auto it = mounts.byMountPoint.constFind(entry.mountPoint);
        if (it != mounts.byMountPoint.constEnd()) {
            mounts.entries[it.value()] = entry;
        } else {
            mounts.byMountPoint.insert(entry.mountPoint, mounts.entries.size());
            mounts.entries.append(entry);
        }
    }
    return mounts;
}

quint64 CpuListToMask(const QString &list)
{
    quint64 mask = 0;
    const QStringList parts = list.trimmed().split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (const QString &part : parts) {
        const QStringList ends = part.split(QLatin1Char('-'));
        bool okLow = false, okHigh = true;
        const int low = ends[0].toInt(&okLow);
        const int high = ends.size() > 1 ? ends[1].toInt(&okHigh) : low;
        if (!okLow || !okHigh || low < 0)
            continue;
        for (int cpu = low; cpu <= high && cpu < 64; ++cpu)
            mask |= quint64(1) << cpu;
    }
    return mask;
}

int KeyboardCodeForModel(const QString &model)
{
    const QString m = model.trimmed().toLower();
    if (m == QLatin1String("pc83"))
        return 1;
    if (m.startsWith(QLatin1String("olivetti")))
        return 2;
    if (m == QLatin1String("pc84"))
        return 3;
    static const QSet<QString> enhanced = {
        QStringLiteral("pc86"), QStringLiteral("pc101"), QStringLiteral("pc102"),
        QStringLiteral("pc104"), QStringLiteral("pc104alt"), QStringLiteral("pc105"),
    };
    if (enhanced.contains(m))
        return 4;
    if (m == QLatin1String("jp106"))
        return 7;
    return 0;
}

int FunctionKeysForCode(int code)
{
    switch (code) {
    case 1:
    case 3: return 10;
    case 2:
    case 4:
    case 7: return 12;
    default: return 0;
    }
}

bool SerialFromUuid(const QString &uuid, quint32 &serial)
{
    QString hex;
    for (const QChar c : uuid) {
        if (c.isDigit() || (c.toLower() >= QLatin1Char('a') && c.toLower() <= QLatin1Char('f')))
            hex += c;
        else if (c != QLatin1Char('-'))
            return false;
    }
    if (hex.size() < 8)
        return false;
    // An NTFS volume's 64-bit serial is shown whole; its low half is the serial proper.
    const QString digits = hex.size() == 16 ? hex.right(8) : hex.left(8);
    bool ok = false;
    serial = digits.toUInt(&ok, 16);
    return ok;
}

QString DecodeLabel(const QString &name)
{
    QByteArray out;
    const QByteArray raw = QFile::encodeName(name);
    for (int i = 0; i < raw.size(); ++i) {
        // Exactly two hex digits: a sign or a blank ("\x-1", "\x 1") is no escape.
        if (raw[i] == '\\' && i + 3 < raw.size() && raw[i + 1] == 'x' && std::isxdigit(uchar(raw[i + 2]))
            && std::isxdigit(uchar(raw[i + 3]))) {
            out += char(raw.mid(i + 2, 2).toInt(nullptr, 16));
            i += 3;
            continue;
        }
        out += raw[i];
    }
    return QString::fromUtf8(out);
}

LinuxPlatform::LinuxPlatform(LinuxPlatformFiles files) : m_files(std::move(files)) {}

bool LinuxPlatform::Version(VersionFacts &facts)
{
    struct utsname u;
    if (uname(&u) != 0)
        return false;
    const QString release = QString::fromLatin1(u.release);
    int pos = 0;
    auto number = [&release, &pos]() {
        int value = 0;
        while (pos < release.size() && release[pos].isDigit() && value < 100000)
            value = value * 10 + release[pos++].digitValue();
        return value;
    };
    facts.major = number();
    if (pos < release.size() && release[pos] == QLatin1Char('.')) {
        ++pos;
        facts.minor = number();
    }
    facts.platformId = kPlatformNamed;
    facts.name.clear();
    for (const QString &path : m_files.osRelease) {
        const QHash<QString, QString> os = ParseAssignments(ReadSmallFile(path));
        if (os.isEmpty())
            continue;
        facts.name = os.value(QStringLiteral("PRETTY_NAME"));
        if (facts.name.isEmpty())
            facts.name = (os.value(QStringLiteral("NAME")) + QLatin1Char(' ')
                          + os.value(QStringLiteral("VERSION"))).trimmed();
        break;
    }
    if (facts.name.isEmpty())
        facts.name = QString::fromLocal8Bit(u.sysname);
    return true;
}

bool LinuxPlatform::Directory(Folder which, QString &path)
{
    switch (which) {
    case Folder::Windows:
        path = QStringLiteral("/");  // the system is installed from the root down
        break;
    case Folder::System:
        path = QFileInfo(QStringLiteral("/usr/lib")).isDir() ? QStringLiteral("/usr/lib")
                                                             : QStringLiteral("/lib");
        break;
    case Folder::Temp:
        path = QDir::tempPath();
        break;
    }
    return !path.isEmpty();
}

bool LinuxPlatform::ComputerName(QString &name)
{
    char host[HOST_NAME_MAX + 1] = {};
    if (gethostname(host, sizeof host - 1) != 0 || host[0] == 0)
        return false;
    name = QString::fromLocal8Bit(host);
    return true;
}

bool LinuxPlatform::UserName(QString &name)
{
    struct passwd pwd;
    struct passwd *found = nullptr;
    char buffer[4096];
    if (getpwuid_r(geteuid(), &pwd, buffer, sizeof buffer, &found) == 0 && found && found->pw_name
        && found->pw_name[0]) {
        name = QString::fromLocal8Bit(found->pw_name);
        return true;
    }
    name = qEnvironmentVariable("USER");
    if (name.isEmpty())
        name = qEnvironmentVariable("LOGNAME");
    return !name.isEmpty();
}

int LinuxPlatform::Keyboard(int typeFlag)
{
    const int code = KeyboardCodeForModel(ParseAssignments(ReadSmallFile(m_files.keyboard)).value(QStringLiteral("XKBMODEL")));
    if (typeFlag == 0)
        return code;
    if (typeFlag == 2)
        return FunctionKeysForCode(code);
    return 0;
}

void LinuxPlatform::Processors(ProcessorFacts &facts)
{
    const long online = sysconf(_SC_NPROCESSORS_ONLN);
    facts.count = online > 0 ? online : 0;

    facts.activeMask = CpuListToMask(QString::fromLatin1(ReadSmallFile(m_files.cpuOnline)));
    if (facts.activeMask == 0) {
        cpu_set_t set;
        CPU_ZERO(&set);
        if (sched_getaffinity(0, sizeof set, &set) == 0) {
            for (int cpu = 0; cpu < 64 && cpu < CPU_SETSIZE; ++cpu)
                if (CPU_ISSET(cpu, &set))
                    facts.activeMask |= quint64(1) << cpu;
        }
    }

    facts.type = 0;
    struct utsname u;
    if (uname(&u) != 0)
        return;
    const QString machine = QString::fromLatin1(u.machine);
    if (machine == QLatin1String("x86_64") || machine == QLatin1String("amd64")) {
        facts.type = kProcessorAmdX8664;
    } else if (machine.size() == 4 && machine.startsWith(QLatin1Char('i')) && machine.endsWith(QLatin1String("86"))) {
        // A 32-bit x86: the processor family says which generation it is.
        int family = machine[1].digitValue();
        const QList<QByteArray> lines = ReadSmallFile(m_files.cpuinfo).split('\n');
        for (const QByteArray &line : lines) {
            if (line.startsWith("cpu family")) {
                bool ok = false;
                const int value = line.mid(line.indexOf(':') + 1).trimmed().toInt(&ok);
                if (ok)
                    family = value;
                break;
            }
        }
        facts.type = family <= 3 ? kProcessorIntel386 : family == 4 ? kProcessorIntel486 : kProcessorIntelPentium;
    }
}

void LinuxPlatform::Memory(MemoryFacts &facts)
{
    qint64 totalKb = -1, availKb = -1;
    ParseMeminfo(ReadSmallFile(m_files.meminfo), totalKb, availKb);
    if (totalKb > 0) {
        facts.totalBytes = quint64(totalKb) * 1024;
        facts.availBytes = quint64(qMax<qint64>(availKb, 0)) * 1024;
    } else {
        const long pages = sysconf(_SC_PHYS_PAGES);
        const long avail = sysconf(_SC_AVPHYS_PAGES);
        const long size = sysconf(_SC_PAGESIZE);
        facts.totalBytes = pages > 0 && size > 0 ? quint64(pages) * quint64(size) : 0;
        facts.availBytes = avail > 0 && size > 0 ? quint64(avail) * quint64(size) : 0;
    }
    facts.availBytes = qMin(facts.availBytes, facts.totalBytes);
    facts.load = facts.totalBytes == 0
            ? 0
            : int(std::lround(double(facts.totalBytes - facts.availBytes) * 100.0 / double(facts.totalBytes)));
}

MountTable LinuxPlatform::Mounts() const
{
    return m_listing ? *m_listing : BuildMountTable(ReadSmallFile(m_files.mounts));
}

bool LinuxPlatform::FindMount(const QString &root, MountEntry &entry) const
{
    if (!root.startsWith(QLatin1Char('/')))
        return false;
    const MountTable mounts = Mounts();
    const auto it = mounts.byMountPoint.constFind(QDir::cleanPath(root));
    if (it == mounts.byMountPoint.constEnd())
        return false;
    entry = mounts.entries.at(it.value());
    return true;
}

bool LinuxPlatform::DeviceIsRemovable(const QString &deviceName) const
{
    if (deviceName.isEmpty())
        return false;
    QString flagFile = m_files.sysBlock + QLatin1Char('/') + deviceName + QStringLiteral("/removable");
    if (!QFileInfo::exists(flagFile)) {
        // A partition: its disk is the folder of /sys/block that holds it.
        flagFile.clear();
        const QStringList disks = QDir(m_files.sysBlock).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        for (const QString &disk : disks) {
            if (QFileInfo(m_files.sysBlock + QLatin1Char('/') + disk + QLatin1Char('/') + deviceName).isDir()) {
                flagFile = m_files.sysBlock + QLatin1Char('/') + disk + QStringLiteral("/removable");
                break;
            }
        }
    }
    return !flagFile.isEmpty() && ReadSmallFile(flagFile).trimmed() == "1";
}

int LinuxPlatform::Classify(const MountEntry &entry) const
{
    const QString &point = entry.mountPoint;
    const QString &type = entry.fsType;
    if (point == QLatin1String("/proc") || point.startsWith(QLatin1String("/proc/"))
        || point == QLatin1String("/sys") || point.startsWith(QLatin1String("/sys/")))
        return kDriveUnknown;
    if (PseudoFileSystems().contains(type))
        return kDriveUnknown;
    if (NetworkFileSystems().contains(type))
        return kDriveRemote;
    const QString device = CanonicalDevice(entry.source);
    const QString deviceName = device.isEmpty() ? QString() : QFileInfo(device).fileName();
    if (type == QLatin1String("iso9660") || type == QLatin1String("udf")
        || deviceName.startsWith(QLatin1String("sr")) || deviceName.startsWith(QLatin1String("scd")))
        return kDriveCdrom;
    if (type == QLatin1String("tmpfs") || type == QLatin1String("ramfs")
        || deviceName.startsWith(QLatin1String("zram")) || deviceName.startsWith(QLatin1String("ram")))
        return kDriveRamdisk;
    if (DiskFileSystems().contains(type)) {
        if (!deviceName.isEmpty() && DeviceIsRemovable(deviceName))
            return kDriveRemovable;
        return kDriveFixed;
    }
    return kDriveUnknown;
}

void LinuxPlatform::BeginDriveListing()
{
    m_listing.reset();
    m_listing = Mounts();
}

void LinuxPlatform::EndDriveListing()
{
    m_listing.reset();
}

QStringList LinuxPlatform::DriveRoots()
{
    QStringList roots;
    const MountTable mounts = Mounts();
    for (const MountEntry &m : mounts.entries)
        roots << m.mountPoint;
    return roots;
}

int LinuxPlatform::DriveType(const QString &root)
{
    MountEntry entry;
    if (!FindMount(root, entry))
        return kDriveNoRootDir;
    return Classify(entry);
}

bool LinuxPlatform::DiskSpace(const QString &root, quint64 &totalBytes, quint64 &freeBytes)
{
    struct statvfs st;
    if (root.isEmpty() || statvfs(QFile::encodeName(root).constData(), &st) != 0)
        return false;
    totalBytes = quint64(st.f_blocks) * quint64(st.f_frsize);
    freeBytes = quint64(st.f_bavail) * quint64(st.f_frsize);
    return true;
}

QString LinuxPlatform::LinkNameFor(const QString &folder, const QString &device) const
{
    if (device.isEmpty())
        return QString();
    const QFileInfoList links = QDir(folder).entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo &link : links) {
        if (link.canonicalFilePath() == device)
            return link.fileName();
    }
    return QString();
}

bool LinuxPlatform::VolumeSerial(const QString &root, quint32 &serial)
{
    MountEntry entry;
    if (!FindMount(root, entry))
        return false;
    const QString uuid = LinkNameFor(m_files.diskByUuid, CanonicalDevice(entry.source));
    return !uuid.isEmpty() && SerialFromUuid(uuid, serial);
}

bool LinuxPlatform::VolumeLabel(const QString &root, QString &label)
{
    MountEntry entry;
    if (!FindMount(root, entry) || access(QFile::encodeName(entry.mountPoint).constData(), R_OK | X_OK) != 0)
        return false;
    label = DecodeLabel(LinkNameFor(m_files.diskByLabel, CanonicalDevice(entry.source)));
    return true;
}

bool LinuxPlatform::DiskSpaceFree(qint32 &kib)
{
    struct statvfs st;
    if (statvfs(".", &st) != 0)
        return false;
    const quint64 free = quint64(st.f_bavail) * quint64(st.f_frsize) / 1024;
    kib = free > quint64(INT32_MAX) ? INT32_MAX : qint32(free);
    return true;
}

} // namespace velmora
