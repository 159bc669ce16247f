// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "about/core/system.h"

#include <QDir>

#include <limits>

namespace velmora {

System::System() : m_platform(&NativePlatform()) {}

System::System(SystemPlatform &platform) : m_platform(&platform) {}

QString System::StripNull(const QString &text)
{
    const int nul = text.indexOf(QChar(0));
    return nul < 0 ? text : text.left(nul);
}

qint64 System::BytesToKb(quint64 bytes)
{
    quint64 kb = bytes / 1024;
    const quint64 rest = bytes % 1024;
    if (rest > 512 || (rest == 512 && (kb & 1)))
        ++kb;
    return static_cast<qint64>(kb);
}

// A folder always ends in the separator, so a file name can be put behind it.
QString System::Folder(SystemPlatform::Folder which)
{
    QString raw;
    if (!m_platform->Directory(which, raw))
        return QString();
    QString path = StripNull(raw);
    if (path.isEmpty())
        return QString();
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    return path;
}

QString System::WinDir() { return Folder(SystemPlatform::Folder::Windows); }
QString System::SystemDir() { return Folder(SystemPlatform::Folder::System); }
QString System::TempDir() { return Folder(SystemPlatform::Folder::Temp); }

QString System::ComputerName()
{
    QString raw;
    return m_platform->ComputerName(raw) ? StripNull(raw) : QString();
}

QString System::UserName()
{
    QString raw;
    return m_platform->UserName(raw) ? StripNull(raw) : QString();
}

QString System::KeyboardType()
{
    switch (m_platform->Keyboard(0)) {
    case 1: return QStringLiteral("IBM PC/XT or compatible (83 key)");
    case 2: return QStringLiteral("Olivetti \"ico\" (102 key)");
    case 3: return QStringLiteral("IBM PC/AT or compatible (84 key)");
    case 4: return QStringLiteral("IBM enhanced (101 or 102 key)");
    case 5: return QStringLiteral("Nokia 1050 or compatible");
    case 6: return QStringLiteral("Nokia 9140 or compatible");
    case 7: return QStringLiteral("Japanese");
    default: return QString();
    }
}

quint8 System::FunctionKeys()
{
    // A count the byte cannot hold is shown as its largest value.
    return static_cast<quint8>(qBound(0, m_platform->Keyboard(2), 255));
}

void System::SystemInfo(QString &strProcessor, qint64 &lngNumOfProcessors, quint64 &lngActiveProcessor)
{
    SystemPlatform::ProcessorFacts facts;
    m_platform->Processors(facts);
    lngActiveProcessor = facts.activeMask;
    lngNumOfProcessors = facts.count;
    switch (facts.type) {
    case kProcessorIntel386: strProcessor = QStringLiteral("80386"); break;
    case kProcessorIntel486: strProcessor = QStringLiteral("80486"); break;
    case kProcessorIntelPentium: strProcessor = QStringLiteral("Intel Pentium"); break;
    default: break;  // no name for it: keep what the caller had
    }
}

void System::FreeMemory(quint8 &btePercentUsed, qint64 &lngTotalRam, qint64 &lngFreeRam)
{
    SystemPlatform::MemoryFacts facts;
    m_platform->Memory(facts);
    btePercentUsed = static_cast<quint8>(qBound(0, facts.load, 100));
    lngTotalRam = BytesToKb(facts.totalBytes);
    lngFreeRam = BytesToKb(facts.availBytes);
}

QString System::DriveType(const QString &strRoot)
{
    switch (m_platform->DriveType(strRoot)) {
    case kDriveRemovable: return QStringLiteral("Removable drive");
    case kDriveFixed: return QStringLiteral("Fixed drive");
    case kDriveRemote: return QStringLiteral("Network drive");
    case kDriveCdrom: return QStringLiteral("CD-ROM drive");
    case kDriveRamdisk: return QStringLiteral("RAM-disk");
    default: return QString();
    }
}

namespace {

// Keeps a platform's drive listing open for one scope.
class DriveListing
{
public:
    explicit DriveListing(SystemPlatform &platform) : m_platform(platform) { m_platform.BeginDriveListing(); }
    ~DriveListing() { m_platform.EndDriveListing(); }
    DriveListing(const DriveListing &) = delete;
    DriveListing &operator=(const DriveListing &) = delete;

private:
    SystemPlatform &m_platform;
};

} // namespace

void System::Drives(int &intRemovable, int &intNotRemovable, int &intCD, int &intRAM, int &intNetwork)
{
    const DriveListing listing(*m_platform);
    const QStringList roots = m_platform->DriveRoots();
    intRemovable = intNotRemovable = intCD = intRAM = intNetwork = 0;
    for (const QString &root : roots) {
        const QString kind = DriveType(root);
        if (kind == QLatin1String("Removable drive"))
            ++intRemovable;
        else if (kind == QLatin1String("Fixed drive"))
            ++intNotRemovable;
        else if (kind == QLatin1String("Network drive"))
            ++intNetwork;
        else if (kind == QLatin1String("CD-ROM drive"))
            ++intCD;
        else if (kind == QLatin1String("RAM-disk"))
            ++intRAM;
    }
}

void System::DriveInfo(const QString &strRoot, qint64 &lngTotalSpace, qint64 &lngFreeSpace)
{
    quint64 total = 0, free = 0;
    if (!m_platform->DiskSpace(strRoot, total, free)) {
        lngTotalSpace = 0;
        lngFreeSpace = 0;
        return;
    }
    constexpr quint64 kMax = quint64(std::numeric_limits<qint64>::max());
    lngTotalSpace = qint64(qMin(total, kMax));
    lngFreeSpace = qint64(qMin(free, kMax));
}

QString System::PutPoints(qint64 lngNumber)
{
    // The sign stays in front of the first group: -123456 -> "-123.456".
    const QString digits = QString::number(lngNumber).remove(QLatin1Char('-'));
    const int len = digits.size();
    int groups = len / 3;
    if (len % 3 == 0)
        --groups;
    QString tail;
    for (int i = 0; i < groups; ++i)
        tail.prepend(QLatin1Char('.') + digits.mid(len - 3 * i - 3, 3));
    QString head = digits.left(len - 3 * groups);
    if (lngNumber < 0)
        head.prepend(QLatin1Char('-'));
    return head + tail;
}

qint32 System::FastDiskSpace(const QString &strRoot)
{
    const QString remembered = QDir::currentPath();
    qint32 result = 0;
    if (!strRoot.isEmpty() && QDir::setCurrent(strRoot)) {
        if (!m_platform->DiskSpaceFree(result))
            result = 0;
    }
    QDir::setCurrent(remembered);
    return result;
}

QString System::SerialNumber(const QString &strRoot)
{
    quint32 serial = 0;
    if (!m_platform->VolumeSerial(strRoot, serial))
        return QStringLiteral("0000-0000");
    const QString hex = QStringLiteral("%1").arg(serial, 8, 16, QLatin1Char('0')).toUpper();
    return hex.left(4) + QLatin1Char('-') + hex.right(4);
}

QString System::VolumeLabel(const QString &strRoot)
{
    QString label;
    if (!m_platform->VolumeLabel(strRoot, label))
        return QString();
    label = StripNull(label);
    return label.isEmpty() ? QStringLiteral("NoName") : label;
}

void System::WinVer(int &intMajor, int &intMinor, QString &strPlatform)
{
    SystemPlatform::VersionFacts facts;
    if (!m_platform->Version(facts)) {
        intMajor = 0;
        intMinor = 0;
        strPlatform.clear();
        return;
    }
    intMajor = facts.major;
    intMinor = facts.minor;
    switch (facts.platformId) {
    case kPlatformWin32s:
        strPlatform = QStringLiteral("Windows ") + QString::number(intMajor) + QLatin1Char('.')
                + QString::number(intMinor);
        break;
    case kPlatformWin32Windows: strPlatform = QStringLiteral("Windows 95/98/Me"); break;
    case kPlatformWin32NT: strPlatform = QStringLiteral("Windows NT/2000/XP"); break;
    case kPlatformNamed: strPlatform = facts.name; break;
    default: break;  // unknown family: keep what the caller had
    }
}

} // namespace velmora
