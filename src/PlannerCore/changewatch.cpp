#include "changewatch.h"

#include <QFile>
#include <QtGlobal>

#include <cerrno>
#include <utility>

#if defined(Q_OS_LINUX)
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>
#endif

ChangeWatch::ChangeWatch(QString folder) : folder_(std::move(folder)), encoded_(QFile::encodeName(folder_))
{
    start();
}

ChangeWatch::~ChangeWatch()
{
    stop();
}

bool ChangeWatch::tellsEveryChange(long type)
{
    // Local file systems only: on a network share or a FUSE mount the kernel hears of
    // the changes made through this computer, not of those made by the server or a
    // sync daemon behind it, and an overlay's lower layers change unheard.
    switch (quint32(type)) {
    case 0xEF53u:      // ext2, ext3, ext4
    case 0x9123683Eu:  // btrfs
    case 0x58465342u:  // xfs
    case 0x01021994u:  // tmpfs
    case 0x858458F6u:  // ramfs
    case 0xF2F52010u:  // f2fs
    case 0x3153464Au:  // jfs
    case 0x52654973u:  // reiserfs
    case 0xCA451A4Eu:  // bcachefs
    case 0x2FC12FC1u:  // zfs
    case 0x4D44u:      // vfat
    case 0x2011BAB0u:  // exfat
        return true;
    default:
        return false;
    }
}

#if defined(Q_OS_LINUX)

namespace {

bool identify(const QByteArray& path, quint64& device, quint64& inode)
{
    struct stat info {};
    if (::stat(path.constData(), &info) != 0 || !S_ISDIR(info.st_mode))
        return false;
    device = quint64(info.st_dev);
    inode = quint64(info.st_ino);
    return true;
}

} // namespace

bool ChangeWatch::start()
{
    stop();
    struct statfs fs {};
    if (::statfs(encoded_.constData(), &fs) != 0 || !tellsEveryChange(long(fs.f_type)))
        return false;
    quint64 device = 0, inode = 0;
    if (!identify(encoded_, device, inode))
        return false;
    fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd_ < 0)
        return false;  // the user's watches may be spent: looking at everything still works
    constexpr uint32_t events = IN_MODIFY | IN_ATTRIB | IN_CLOSE_WRITE | IN_CREATE | IN_DELETE | IN_MOVED_FROM
        | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
    watch_ = ::inotify_add_watch(fd_, encoded_.constData(), events);
    // The folder must be the one looked at before the watch: one put in its place
    // meanwhile could have changed unwatched.
    quint64 watchedDevice = 0, watchedInode = 0;
    if (watch_ < 0 || !identify(encoded_, watchedDevice, watchedInode) || watchedDevice != device || watchedInode != inode) {
        stop();
        return false;
    }
    device_ = device;
    inode_ = inode;
    return true;
}

void ChangeWatch::stop()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    watch_ = -1;
    pending_.clear();
}

bool ChangeWatch::drain()
{
    alignas(struct inotify_event) char buffer[16 * 1024];
    bool trusted = true;
    for (;;) {
        const ssize_t got = ::read(fd_, buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return trusted && (errno == EAGAIN || errno == EWOULDBLOCK);
        }
        if (got == 0)
            return false;
        for (ssize_t at = 0; at < got;) {
            const auto* event = reinterpret_cast<const struct inotify_event*>(buffer + at);
            at += ssize_t(sizeof(struct inotify_event) + event->len);
            // Lost changes, or a folder that is no longer the one at the path.
            if (event->mask & (IN_Q_OVERFLOW | IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT | IN_IGNORED))
                trusted = false;
            else if (event->len > 0)
                pending_.insert(QFile::decodeName(event->name));
        }
    }
}

ChangeWatch::Changes ChangeWatch::take()
{
    Changes changes;
    if (fd_ < 0) {
        // Watched from now on; what came before is unknown.
        start();
        return changes;
    }
    quint64 device = 0, inode = 0;
    if (!drain() || !identify(encoded_, device, inode) || device != device_ || inode != inode_) {
        start();
        return changes;
    }
    changes.everything = false;
    changes.names = std::exchange(pending_, {});
    return changes;
}

#else

// Elsewhere every look is a look at everything.
bool ChangeWatch::start()
{
    return false;
}

void ChangeWatch::stop() {}

bool ChangeWatch::drain()
{
    return false;
}

ChangeWatch::Changes ChangeWatch::take()
{
    return {};
}

#endif
