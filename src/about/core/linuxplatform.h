// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The SystemPlatform of a Linux computer. Every answer is read afresh from the
// kernel's and the distribution's own files (a drive listing reads the mount
// table once for all its drives); the file locations can be moved
// (to a prepared folder) so the reading rules can be tried on fixed files.
//
// How the questions are answered here:
// - drive roots are the mount points of /proc/self/mounts (one per mount point;
//   a point mounted over again counts once, with its topmost mount);
// - drive type: mounts below /proc and /sys, kernel pseudo file systems and
//   package images (squashfs, erofs) are no drive; nfs, cifs, smb, sshfs, 9p and
//   other network file systems are network drives; iso9660, udf and sr* devices
//   are CD-ROM drives; tmpfs, ramfs and zram devices are RAM disks; a disk file
//   system on a device whose /sys/block/<disk>/removable is 1 is removable,
//   any other disk file system (and overlay, zfs) is fixed;
// - size and free space from statvfs (free = what an ordinary user may use);
// - serial number from /dev/disk/by-uuid (the first 8 hex digits of the UUID,
//   the last 8 of a 16-digit NTFS serial); volume label from /dev/disk/by-label;
// - keyboard from XKBMODEL in /etc/default/keyboard;
// - processors from sysconf, /sys/devices/system/cpu/online, uname and /proc/cpuinfo;
// - memory from /proc/meminfo (MemTotal, MemAvailable), else sysconf;
// - version: the kernel release as major.minor, the name from /etc/os-release.
#include "about/core/system.h"

#include <QHash>
#include <QList>

#include <optional>

namespace velmora {

struct LinuxPlatformFiles {
    QString mounts = QStringLiteral("/proc/self/mounts");
    QString sysBlock = QStringLiteral("/sys/block");
    QString diskByUuid = QStringLiteral("/dev/disk/by-uuid");
    QString diskByLabel = QStringLiteral("/dev/disk/by-label");
    QString keyboard = QStringLiteral("/etc/default/keyboard");
    QStringList osRelease = {QStringLiteral("/etc/os-release"), QStringLiteral("/usr/lib/os-release")};
    QString meminfo = QStringLiteral("/proc/meminfo");
    QString cpuOnline = QStringLiteral("/sys/devices/system/cpu/online");
    QString cpuinfo = QStringLiteral("/proc/cpuinfo");
};

struct MountEntry {
    QString source;
    QString mountPoint;
    QString fsType;
};

// The entries of a mounts table (fields unescaped: "\040" is a space).
QList<MountEntry> ParseMounts(const QByteArray &table);
// The mount entries, one per mount point (a point mounted over again keeps
// its topmost mount, in the place of the first), with an index by mount point.
struct MountTable {
    QList<MountEntry> entries;
    QHash<QString, qsizetype> byMountPoint;
};
MountTable BuildMountTable(const QByteArray &table);
// The values of a shell-style KEY=value file (os-release, /etc/default/keyboard).
QHash<QString, QString> ParseAssignments(const QByteArray &file);
// Total and available memory in KiB from a /proc/meminfo text (-1 when missing;
// available falls back to MemFree).
void ParseMeminfo(const QByteArray &file, qint64 &totalKb, qint64 &availKb);
// A CPU list such as "0-3,6" as a mask (processors above 63 do not fit and are left out).
quint64 CpuListToMask(const QString &list);
// Keyboard type code and function-key count for an XKB model name (0 and 0 when unknown).
int KeyboardCodeForModel(const QString &model);
int FunctionKeysForCode(int code);
// The serial number a file-system UUID stands for; false when it holds too few hex digits.
bool SerialFromUuid(const QString &uuid, quint32 &serial);
// A name from /dev/disk/by-label with its "\xHH" escapes decoded.
QString DecodeLabel(const QString &name);

class LinuxPlatform : public SystemPlatform
{
public:
    explicit LinuxPlatform(LinuxPlatformFiles files = {});

    bool Version(VersionFacts &facts) override;
    bool Directory(Folder which, QString &path) override;
    bool ComputerName(QString &name) override;
    bool UserName(QString &name) override;
    int Keyboard(int typeFlag) override;
    void Processors(ProcessorFacts &facts) override;
    void Memory(MemoryFacts &facts) override;
    void BeginDriveListing() override;
    void EndDriveListing() override;
    QStringList DriveRoots() override;
    int DriveType(const QString &root) override;
    bool DiskSpace(const QString &root, quint64 &totalBytes, quint64 &freeBytes) override;
    bool VolumeSerial(const QString &root, quint32 &serial) override;
    bool VolumeLabel(const QString &root, QString &label) override;
    bool DiskSpaceFree(qint32 &kib) override;

private:
    MountTable Mounts() const;
    bool FindMount(const QString &root, MountEntry &entry) const;
    int Classify(const MountEntry &entry) const;
    bool DeviceIsRemovable(const QString &deviceName) const;
    QString LinkNameFor(const QString &folder, const QString &device) const;
    LinuxPlatformFiles m_files;
    // The table read once for the drive listing in progress.
    std::optional<MountTable> m_listing;
};

} // namespace velmora
