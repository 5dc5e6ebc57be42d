#include "textfile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

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

TextFile readTextFile(const QString& path)
{
    TextFile result;
    QFile file(path);
    if (!file.exists())
        return result;
    if (!file.open(QIODevice::ReadOnly)) {
        result.state = TextFile::State::Unreadable;
        result.error = file.errorString();
        return result;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        result.state = TextFile::State::Unreadable;
        result.error = file.errorString();
        return result;
    }
    auto text = decodeUtf8Strict(bytes);
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
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Error{file.errorString()};
    const auto tooLarge = [&] { return Error{QStringLiteral("%1 is too large").arg(QFileInfo(path).fileName())}; };
    const qint64 size = file.size();
    if (size > cap)
        return tooLarge();
    // A buffer as large as the cap for every small file would cost more than the
    // read itself, so read what the file says it holds, then in small steps what a
    // growing file or a device adds, up to one byte past the cap.
    QByteArray bytes = file.read(size + 1);
    constexpr qint64 step = 64 * 1024;
    while (file.error() == QFileDevice::NoError && bytes.size() <= cap) {
        const QByteArray more = file.read(std::min(step, cap + 1 - bytes.size()));
        if (more.isEmpty())
            break;
        bytes += more;
    }
    if (file.error() != QFileDevice::NoError)
        return Error{file.errorString()};
    if (bytes.size() > cap)
        return tooLarge();
    return bytes;
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
