// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Facts about the computer the program runs on: operating system, folders,
// names, keyboard, processors, memory and drives. System turns the raw figures
// of a SystemPlatform into the texts and numbers the About window shows.
#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace velmora {

// Drive type codes (the values a platform reports for a drive root).
enum DriveCode : int {
    kDriveUnknown = 0,
    kDriveNoRootDir = 1,
    kDriveRemovable = 2,
    kDriveFixed = 3,
    kDriveRemote = 4,
    kDriveCdrom = 5,
    kDriveRamdisk = 6,
};

// Processor type codes.
enum ProcessorCode : int {
    kProcessorIntel386 = 386,
    kProcessorIntel486 = 486,
    kProcessorIntelPentium = 586,
    kProcessorAmdX8664 = 8664,
};

// Operating-system family codes. The first three are the Windows families;
// kPlatformNamed means "the platform names itself" (Linux and other Unix
// systems): the name it reports is shown as it is.
enum PlatformCode : int {
    kPlatformWin32s = 0,
    kPlatformWin32Windows = 1,
    kPlatformWin32NT = 2,
    kPlatformNamed = 100,
};

// The small set of questions System asks the operating system. Each answer is
// a raw figure; a false result means the platform could not answer.
class SystemPlatform
{
public:
    virtual ~SystemPlatform() = default;

    enum class Folder { Windows, System, Temp };

    struct VersionFacts {
        int major = 0;
        int minor = 0;
        int platformId = 0;
        QString name;       // used for kPlatformNamed
    };
    struct ProcessorFacts {
        quint64 activeMask = 0;  // one bit per active processor
        qint64 count = 0;
        int type = 0;            // ProcessorCode or anything else
    };
    struct MemoryFacts {
        int load = 0;            // percentage of physical memory in use
        quint64 totalBytes = 0;
        quint64 availBytes = 0;
    };

    virtual bool Version(VersionFacts &facts) = 0;
    virtual bool Directory(Folder which, QString &path) = 0;
    virtual bool ComputerName(QString &name) = 0;
    virtual bool UserName(QString &name) = 0;
    // typeFlag 0: keyboard type code; 2: number of function keys (0 = unknown).
    virtual int Keyboard(int typeFlag) = 0;
    virtual void Processors(ProcessorFacts &facts) = 0;
    virtual void Memory(MemoryFacts &facts) = 0;
    // A drive listing (DriveRoots, then DriveType for each root) runs between
    // these two calls: a platform may read its drive table once for the whole
    // listing instead of once per question.
    virtual void BeginDriveListing() {}
    virtual void EndDriveListing() {}
    // The drive roots, in the platform's order.
    virtual QStringList DriveRoots() = 0;
    virtual int DriveType(const QString &root) = 0;
    virtual bool DiskSpace(const QString &root, quint64 &totalBytes, quint64 &freeBytes) = 0;
    virtual bool VolumeSerial(const QString &root, quint32 &serial) = 0;
    // False when the drive cannot be read; an unlabelled drive gives true and "".
    virtual bool VolumeLabel(const QString &root, QString &label) = 0;
    // Free space of the file system holding the current directory, in KiB,
    // saturated at INT32_MAX. False when it cannot be measured.
    virtual bool DiskSpaceFree(qint32 &kib) = 0;
};

// The platform of this computer (one instance for the process).
SystemPlatform &NativePlatform();

// Answers about the computer. Every call asks the platform afresh.
class System
{
public:
    System();                                    // this computer
    explicit System(SystemPlatform &platform);   // the given platform

    // Size and free space of a drive in bytes; 0 and 0 when it cannot be read.
    void DriveInfo(const QString &strRoot, qint64 &lngTotalSpace, qint64 &lngFreeSpace);
    void Drives(int &intRemovable, int &intNotRemovable, int &intCD, int &intRAM, int &intNetwork);
    QString DriveType(const QString &strRoot);
    // Digits grouped in threes with "." between the groups: 1234567 -> "1.234.567".
    QString PutPoints(qint64 lngNumber);
    // Free space of strRoot's file system in KiB, measured with it as the
    // current directory; 0 on failure. The current directory is always restored.
    qint32 FastDiskSpace(const QString &strRoot);
    // Memory load in percent, total and free physical memory in KB.
    void FreeMemory(quint8 &btePercentUsed, qint64 &lngTotalRam, qint64 &lngFreeRam);
    quint8 FunctionKeys();
    QString KeyboardType();
    // strProcessor is left as passed for a processor type without a name.
    void SystemInfo(QString &strProcessor, qint64 &lngNumOfProcessors, quint64 &lngActiveProcessor);
    QString TempDir();
    QString SystemDir();
    QString ComputerName();
    QString UserName();
    QString SerialNumber(const QString &strRoot);
    QString VolumeLabel(const QString &strRoot);
    QString WinDir();
    // strPlatform is left as passed for an unknown family.
    void WinVer(int &intMajor, int &intMinor, QString &strPlatform);

    // Kilobytes from bytes, rounded to the nearest, a half going to the even one.
    static qint64 BytesToKb(quint64 bytes);

private:
    static QString StripNull(const QString &text);
    QString Folder(SystemPlatform::Folder which);
    SystemPlatform *m_platform;
};

} // namespace velmora
