#include "platform/FileSystem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <cstring>
#include <sys/vfs.h>

namespace platform {
namespace {

// statfs magic numbers of network file systems (linux/magic.h and the CIFS/SMB2 sources).
constexpr unsigned long kRemoteMagics[] = {
    0x6969UL,     // NFS
    0x517BUL,     // SMB
    0xFF534D42UL, // CIFS
    0xFE534D42UL, // SMB2
    0x564C6DUL,   // NCP
    0x5346414FUL, // AFS
    0x6B414653UL, // AFS (kernel client)
    0x01021997UL, // 9P
    0x73757245UL, // Coda
    0x00C36400UL, // Ceph
};

// FUSE covers local and remote systems alike; the mount table tells which one it is.
bool IsRemoteFuseMount(const QString& folder) {
    QFile mounts(QStringLiteral("/proc/self/mounts"));
    if (!mounts.open(QIODevice::ReadOnly))
        return false;
    const QString path = QFileInfo(folder).canonicalFilePath();
    QString bestPoint;
    QString bestType;
    for (const QByteArray& line : mounts.readAll().split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() < 3)
            continue;
        // Mount points escape blanks as \040.
        QString point = QString::fromUtf8(fields[1]).replace(QStringLiteral("\\040"), " ");
        const bool covers =
            path == point || path.startsWith(point.endsWith('/') ? point : point + '/');
        if (covers && point.size() >= bestPoint.size()) {
            bestPoint = point;
            bestType = QString::fromUtf8(fields[2]);
        }
    }
    static const char* const remoteTypes[] = {"fuse.sshfs",      "fuse.rclone", "fuse.s3fs",
                                              "fuse.gvfsd-fuse", "fuse.davfs",  "fuse.curlftpfs"};
    for (const char* t : remoteTypes)
        if (bestType == QLatin1String(t))
            return true;
    return false;
}

} // namespace

bool IsRemoteFileSystem(const QString& folder) {
    struct statfs info;
    std::memset(&info, 0, sizeof info);
    if (statfs(QFile::encodeName(folder).constData(), &info) != 0)
        return false;
    const auto magic = static_cast<unsigned long>(info.f_type) & 0xFFFFFFFFUL;
    for (unsigned long m : kRemoteMagics)
        if (magic == m)
            return true;
    constexpr unsigned long kFuseMagic = 0x65735546UL;
    return magic == kFuseMagic && IsRemoteFuseMount(folder);
}

void EmptyAndRemoveFolder(const QString& folder) {
    QDir dir(folder);
    if (!dir.exists())
        return;
    const QFileInfoList files = dir.entryInfoList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QFileInfo& file : files) {
        QFile f(file.absoluteFilePath());
        if (!file.isWritable())
            f.setPermissions(f.permissions() | QFileDevice::WriteOwner);
        f.remove(); // a file in use stays; the folder removal below then fails quietly
    }
    dir.rmdir(dir.absolutePath());
}

QString FreeNumberedPath(const QString& folder, const QString& baseName, const QString& suffix) {
    for (int n = 1;; ++n) {
        const QString path =
            QDir(folder).filePath(QStringLiteral("%1_%2.%3").arg(baseName).arg(n).arg(suffix));
        if (!QFileInfo::exists(path))
            return path;
    }
}

QString FileBaseNameOf(const QString& text, const QString& fallback) {
    QString name = text.trimmed();
    for (QChar& c : name)
        if (c.unicode() < 0x20 || QStringView(u"\\/:*?\"<>|").contains(c))
            c = QLatin1Char('_');
    return name.isEmpty() ? fallback : name;
}

} // namespace platform
