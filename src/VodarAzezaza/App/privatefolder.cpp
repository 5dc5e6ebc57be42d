#include "privatefolder.h"

#include "logcategories.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QStringList& folders()
{
    static QStringList made;
    return made;
}

// Whether the folder at `path` can be ours: made now, or already ours and real.
bool claim(const QByteArray& path)
{
    if (::mkdir(path.constData(), 0700) == 0)
        return true;
    if (errno != EEXIST) {
        qCWarning(lcApp) << "couldn't create" << path << std::strerror(errno);
        return false;
    }
    struct stat info {};
    if (::lstat(path.constData(), &info) != 0) {
        qCWarning(lcApp) << "couldn't inspect" << path << std::strerror(errno);
        return false;
    }
    if (S_ISLNK(info.st_mode) || !S_ISDIR(info.st_mode)) {
        qCWarning(lcApp) << "refusing" << path << ": it is not a folder of its own";
        return false;
    }
    if (info.st_uid != ::geteuid()) {
        qCWarning(lcApp) << "refusing" << path << ": it belongs to another user";
        return false;
    }
    if ((info.st_mode & 077) != 0 && ::chmod(path.constData(), 0700) != 0) {
        qCWarning(lcApp) << "refusing" << path << ": it cannot be closed to others:" << std::strerror(errno);
        return false;
    }
    return true;
}

} // namespace

namespace pemby {

QString makePrivateFolder(const QString& path)
{
    const QString clean = QDir::cleanPath(path);
    if (claim(QFile::encodeName(clean)))
        return clean;
    // mkdtemp creates exclusively with mode 0700, under a name nobody could foresee.
    QByteArray name = QFile::encodeName(clean + QStringLiteral("-XXXXXX"));
    if (::mkdtemp(name.data()))
        return QFile::decodeName(name);
    qCCritical(lcApp) << "couldn't create a private folder beside" << clean << std::strerror(errno);
    // A name that was never created: whatever writes there later fails visibly instead
    // of writing into a folder someone else prepared.
    return clean + QStringLiteral("-unavailable");
}

void removeWhenRunEnds(const QString& folder)
{
    const QString clean = QDir::cleanPath(folder);
    if (!folders().contains(clean))
        folders().append(clean);
}

void removeRunFolders()
{
    for (const QString& folder : std::exchange(folders(), {})) {
        // Only a real folder of ours: whatever took its name meanwhile is left alone.
        struct stat info {};
        const QByteArray path = QFile::encodeName(folder);
        if (::lstat(path.constData(), &info) != 0 || S_ISLNK(info.st_mode) || !S_ISDIR(info.st_mode)
            || info.st_uid != ::geteuid())
            continue;
        if (!QDir(folder).removeRecursively())
            qCWarning(lcApp) << "couldn't remove the run's folder" << folder;
    }
}

QStringList runFolders()
{
    return folders();
}

} // namespace pemby
