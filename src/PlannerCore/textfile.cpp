#include "textfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QScopeGuard>
#include <QStringDecoder>

#include <algorithm>
#include <cerrno>
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
};

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
RawRead readRegularFile(const QString& path, qint64 cap)
{
    RawRead out;
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            out.state = Opened::Missing;
        else
            out.error = qt_error_string(errno);
        return out;
    }
    const auto closing = qScopeGuard([fd] { ::close(fd); });
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        out.error = qt_error_string(errno);
        return out;
    }
    if (!S_ISREG(info.st_mode)) {
        out.error = S_ISDIR(info.st_mode) ? QStringLiteral("it is a folder") : QStringLiteral("it is not a regular file");
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

TextFile readTextFile(const QString& path, qint64 cap)
{
    TextFile result;
    RawRead raw = readRegularFile(path, cap);
    switch (raw.state) {
    case Opened::Missing:
        return result;
    case Opened::Failed:
        result.state = TextFile::State::Unreadable;
        result.error = std::move(raw.error);
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

Result<QByteArray> readBytes(const QString& path, qint64 cap)
{
    RawRead raw = readRegularFile(path, cap);
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

Status writeFileAtomic(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return Error{file.errorString()};
    if (file.write(bytes) != bytes.size()) {
        const QString why = file.errorString();
        file.cancelWriting();
        return Error{why};
    }
    if (!file.commit())
        return Error{file.errorString()};
    return {};
}

Status writeTextFileAtomic(const QString& path, const QString& text)
{
    return writeFileAtomic(path, text.toUtf8());
}

} // namespace pemby
