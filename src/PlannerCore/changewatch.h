#pragma once
// Which entries of one folder changed since the last look, as the kernel tells of
// them, so that a look for outside changes costs the files that changed instead of a
// look at every file. Reading it never waits and needs no event loop: the kernel
// queues a change before the writer's call returns, so a change made just before a
// look is seen by it.
//
// Whenever it cannot be sure it says so, and the caller looks at everything, as it
// would without it: no watch could be made, the folder lies on a file system that may
// not tell of changes made from elsewhere (a network share, a FUSE mount), the queue
// of changes overflowed, or the folder itself moved, went or was replaced.
//
// What it cannot see is the caller's to look at each time: a file with other names
// elsewhere changed through one of those, and the target of a link.

#include <QByteArray>
#include <QSet>
#include <QString>

class ChangeWatch {
public:
    // Starts watching at once, so that whatever is read from the folder afterwards is
    // covered by the next take(). A folder that does not exist yet is watched from
    // the first take() that finds it.
    explicit ChangeWatch(QString folder);
    ~ChangeWatch();
    ChangeWatch(const ChangeWatch&) = delete;
    ChangeWatch& operator=(const ChangeWatch&) = delete;

    const QString& folder() const { return folder_; }

    struct Changes {
        // Nothing is known: every entry is to be looked at.
        bool everything = true;
        // Otherwise the names of the entries created, written, moved or deleted.
        QSet<QString> names;
        bool contains(const QString& name) const { return everything || names.contains(name); }
    };
    // What changed since the watch began or since the last take(), whichever is later.
    Changes take();

    // Whether a folder on the file system of this statfs() type is told of every change
    // to its entries, made from this computer or any other.
    static bool tellsEveryChange(long type);

private:
    // Drops the watch; the next take() starts it again and knows nothing.
    void stop();
    // A watch on the folder when it is one on a file system that tells of every change.
    bool start();
    // Reads what the kernel queued into `pending_`; false when that is not to be trusted.
    bool drain();

    QString folder_;
    QByteArray encoded_;
    int fd_ = -1;
    int watch_ = -1;
    // The folder watched, as its path named it then: a folder put in its place is another.
    quint64 device_ = 0;
    quint64 inode_ = 0;
    QSet<QString> pending_;
};
