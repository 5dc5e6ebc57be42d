#include "textfile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QStringDecoder>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <filesystem>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pemby {

QString normalizeLineEnds(QString text)
{
    if (!text.contains(u'\r'))
        return text;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    return text;
}

std::optional<QString> decodeUtf8Strict(const QByteArray& bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    return normalizeLineEnds(std::move(text));
}

namespace {

enum class Opened { Read, Missing, Failed };

struct RawRead {
    Opened state = Opened::Failed;
    QByteArray bytes;
    QString error;
    bool notAFile = false;
    std::optional<FileStamp> stamp;  // of the entry opened, or else of the name
};

FileStamp stampOf(const struct stat& entry)
{
    FileStamp stamp;
    stamp.size = qint64(entry.st_size);
    stamp.modifiedNs = qint64(entry.st_mtim.tv_sec) * 1'000'000'000 + entry.st_mtim.tv_nsec;
    stamp.changedNs = qint64(entry.st_ctim.tv_sec) * 1'000'000'000 + entry.st_ctim.tv_nsec;
    stamp.inode = quint64(entry.st_ino);
    stamp.device = quint64(entry.st_dev);
    stamp.links = quint64(entry.st_nlink);
    return stamp;
}

QString sizeText(qint64 bytes)
{
    if (bytes >= 1024 * 1024)
        return QString::number(double(bytes) / (1024 * 1024), 'f', 1) + QStringLiteral(" MB");
    if (bytes >= 1024)
        return QString::number(bytes / 1024) + QStringLiteral(" KB");
    return QString::number(bytes) + QStringLiteral(" bytes");
}

} // namespace

// "9.0 MB, more than 8.0 MB"; in bytes where the rounded figures would read the same.
QString sizeOverLimit(qint64 bytes, qint64 cap)
{
    QString size = sizeText(bytes);
    QString limit = sizeText(cap);
    if (size == limit) {
        size = QString::number(bytes) + QStringLiteral(" bytes");
        limit = QString::number(cap) + QStringLiteral(" bytes");
    }
    return size + QStringLiteral(", more than ") + limit;
}

namespace {

// A FIFO or a device named like one of our files must neither block the read (opening
// a FIFO waits for a writer) nor feed it without end (/dev/zero): open without waiting,
// then take only a regular file of a bounded size.
RawRead readRegularFile(const QString& path, qint64 cap, Links links)
{
    RawRead out;
    const int flags = O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | (links == Links::Refuse ? O_NOFOLLOW : 0);
    const int fd = ::open(QFile::encodeName(path).constData(), flags);
    if (fd < 0) {
        const int why = errno;
        struct stat entry {};
        const bool exists = why != ENOENT && why != ENOTDIR && ::lstat(QFile::encodeName(path).constData(), &entry) == 0;
        if (exists)
            out.stamp = stampOf(entry);
        if (why == ELOOP && links == Links::Refuse && exists && S_ISLNK(entry.st_mode)) {
            out.error = QStringLiteral("it is a symbolic link");
            out.notAFile = true;
        } else if (why == ENOENT || why == ENOTDIR) {
            out.state = Opened::Missing;
        } else {
            out.error = qt_error_string(why);
        }
        return out;
    }
    const auto closing = qScopeGuard([fd] { ::close(fd); });
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        out.error = qt_error_string(errno);
        return out;
    }
    out.stamp = stampOf(info);
    if (!S_ISREG(info.st_mode)) {
        out.error = S_ISDIR(info.st_mode) ? QStringLiteral("it is a folder") : QStringLiteral("it is not a regular file");
        out.notAFile = true;
        return out;
    }
    if (info.st_size > cap) {
        out.error = QStringLiteral("it is too large (%1)").arg(sizeOverLimit(info.st_size, cap));
        return out;
    }
    // Read what is there, and one byte more to see a file that grew past the cap.
    QByteArray bytes(qsizetype(info.st_size) + 1, Qt::Uninitialized);
    qsizetype have = 0;
    for (;;) {
        if (have == bytes.size()) {
            if (have > cap) {
                out.error = QStringLiteral("it is too large (more than %1)").arg(sizeText(cap));
                return out;
            }
            bytes.resize(std::min<qint64>(cap + 1, qint64(have) * 2 + 4096));
        }
        const ssize_t n = ::read(fd, bytes.data() + have, size_t(bytes.size() - have));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            out.error = qt_error_string(errno);
            return out;
        }
        if (n == 0)
            break;
        have += n;
    }
    if (have > cap) {
        out.error = QStringLiteral("it is too large (more than %1)").arg(sizeText(cap));
        return out;
    }
    bytes.truncate(have);
    out.state = Opened::Read;
    out.bytes = std::move(bytes);
    return out;
}

} // namespace

TextFile readTextFile(const QString& path, qint64 cap, Links links)
{
    std::optional<FileStamp> stamp;
    return readTextFile(path, stamp, cap, links);
}

TextFile readTextFile(const QString& path, std::optional<FileStamp>& stamp, qint64 cap, Links links)
{
    TextFile result;
    RawRead raw = readRegularFile(path, cap, links);
    stamp = raw.stamp;
    switch (raw.state) {
    case Opened::Missing:
        return result;
    case Opened::Failed:
        result.state = TextFile::State::Unreadable;
        result.error = std::move(raw.error);
        result.notAFile = raw.notAFile;
        return result;
    case Opened::Read:
        break;
    }
    auto text = decodeUtf8Strict(raw.bytes);
    if (!text) {
        result.state = TextFile::State::Unreadable;
        result.error = QStringLiteral("not valid UTF-8 text");
        return result;
    }
    result.state = TextFile::State::Read;
    result.text = std::move(*text);
    return result;
}

Result<QByteArray> readBytes(const QString& path, qint64 cap, Links links)
{
    RawRead raw = readRegularFile(path, cap, links);
    switch (raw.state) {
    case Opened::Missing:
        return Error{QStringLiteral("%1 is missing").arg(QFileInfo(path).fileName())};
    case Opened::Failed:
        return Error{QStringLiteral("%1: %2").arg(QFileInfo(path).fileName(), raw.error)};
    case Opened::Read:
        break;
    }
    return std::move(raw.bytes);
}

Status makeFolder(const QString& path)
{
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(QFile::encodeName(path).toStdString()), error);
    if (error && !QFileInfo(path).isDir())
        return Error{QStringLiteral("couldn't create the folder %1 (%2)")
                         .arg(QDir::toNativeSeparators(path), QString::fromLocal8Bit(error.message()))};
    return {};
}

QString skippedEntriesText(const QStringList& names)
{
    if (names.isEmpty())
        return {};
    constexpr qsizetype named = 3;
    QString list;
    if (names.size() == 1) {
        list = names.first();
    } else if (names.size() <= named) {
        list = names.first(names.size() - 1).join(QStringLiteral(", ")) + QStringLiteral(" and ") + names.last();
    } else {
        list = names.first(named).join(QStringLiteral(", ")) + QStringLiteral(" and %1 more").arg(names.size() - named);
    }
    return QStringLiteral("skipped ") + list
        + (names.size() == 1 ? QStringLiteral(": not a regular file.") : QStringLiteral(": not regular files."));
}

bool entryExists(const QString& path)
{
    struct stat entry {};
    return ::lstat(QFile::encodeName(path).constData(), &entry) == 0;
}

bool isRealFolder(const QString& path)
{
    struct stat entry {};
    return ::lstat(QFile::encodeName(path).constData(), &entry) == 0 && S_ISDIR(entry.st_mode);
}

std::optional<FileStamp> fileStamp(const QString& path)
{
    struct stat entry {};
    if (::lstat(QFile::encodeName(path).constData(), &entry) != 0)
        return std::nullopt;
    return stampOf(entry);
}

std::optional<FileStamp> settledStamp(const std::optional<FileStamp>& before, const QString& path)
{
    if (!before || fileStamp(path) != before)
        return std::nullopt;
    return settledStamp(before);
}

std::optional<FileStamp> settledStamp(const std::optional<FileStamp>& before)
{
    constexpr qint64 settledNs = 3'000'000'000;
    if (!before)
        return std::nullopt;
    struct timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    const qint64 nowNs = qint64(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
    if (nowNs - std::max(before->modifiedNs, before->changedNs) < settledNs)
        return std::nullopt;
    return before;
}

namespace {

const QLatin1StringView temporaryPrefix(".pemby-");
const QLatin1StringView temporarySuffix(".tmp");
constexpr qsizetype temporaryRandom = 10;

QString temporaryName()
{
    static constexpr char alphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    QString name = temporaryPrefix;
    for (qsizetype i = 0; i < temporaryRandom; ++i)
        name += QLatin1Char(alphabet[QRandomGenerator::global()->bounded(int(sizeof alphabet - 1))]);
    return name + temporarySuffix;
}

bool writeAll(int fd, const QByteArray& bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += n;
    }
    return true;
}

} // namespace

bool isAtomicWriteTemporary(const QString& name)
{
    if (name.size() != temporaryPrefix.size() + temporaryRandom + temporarySuffix.size()
        || !name.startsWith(temporaryPrefix) || !name.endsWith(temporarySuffix))
        return false;
    const QStringView random = QStringView(name).sliced(temporaryPrefix.size(), temporaryRandom);
    return std::all_of(random.begin(), random.end(),
                       [](QChar c) { return (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9'); });
}

Status writeFileAtomic(const QString& path, const QByteArray& bytes)
{
    const QFileInfo target(path);
    const QString folder = target.path();
    const QByteArray finalName = QFile::encodeName(path);

    // An existing regular file keeps its permissions; a new one gets the usual ones.
    // A link's target is not looked at: the link itself is what gets replaced.
    std::optional<mode_t> keepMode;
    struct stat existing {};
    if (::lstat(finalName.constData(), &existing) == 0) {
        if (S_ISDIR(existing.st_mode))
            return Error{QStringLiteral("it is a folder")};
        if (S_ISREG(existing.st_mode))
            keepMode = existing.st_mode & 07777;
    }

    QByteArray temporary;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 16; ++attempt) {
        temporary = QFile::encodeName(folder + u'/' + temporaryName());
        fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            return Error{qt_error_string(errno)};
    }
    if (fd < 0)
        return Error{qt_error_string(EEXIST)};

    int failure = 0;
    if (!writeAll(fd, bytes) || (keepMode && ::fchmod(fd, *keepMode) != 0) || ::fsync(fd) != 0)
        failure = errno;
    if (::close(fd) != 0 && failure == 0)
        failure = errno;
    if (failure == 0 && ::rename(temporary.constData(), finalName.constData()) != 0)
        failure = errno;
    if (failure != 0) {
        ::unlink(temporary.constData());
        return Error{qt_error_string(failure)};
    }
    return {};
}

QStringList removeStaleTemporaryFiles(const QString& folder, qint64 age)
{
    QStringList removed;
    const QDir dir(folder);
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    for (const QString& name : dir.entryList({QStringLiteral(".pemby-*.tmp")}, QDir::Files | QDir::Hidden | QDir::System)) {
        if (!isAtomicWriteTemporary(name))
            continue;
        const QByteArray path = QFile::encodeName(dir.filePath(name));
        struct stat entry {};
        if (::lstat(path.constData(), &entry) != 0 || !S_ISREG(entry.st_mode) || now - qint64(entry.st_mtime) < age)
            continue;
        if (::unlink(path.constData()) == 0)
            removed.append(name);
    }
    return removed;
}

Status writeTextFileAtomic(const QString& path, const QString& text)
{
    return writeFileAtomic(path, text.toUtf8());
}

} // namespace pemby
