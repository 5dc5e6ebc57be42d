#include "pembyfont.h"

#include "logcategories.h"

#include <QDir>
#include <QFontDatabase>
#include <QSaveFile>
#include <QStandardPaths>

// The resource lives in a static library: nothing would pull it in otherwise.
static void initFontResource() { Q_INIT_RESOURCE(pembypixel); }

namespace PembyFont {

namespace {
bool registered = false;
} // namespace

QString family() { return QStringLiteral("Pemby Pixel"); }

QString fileName() { return QStringLiteral("VodarAzezaza-PembyPixel-Regular.ttf"); }

QByteArray embedded()
{
    initFontResource();
    QFile file(QStringLiteral(":/pemby/") + fileName());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

int install(const QByteArray& bytes, const QString& folder)
{
    const QString path = QDir(folder).filePath(fileName());
    QSaveFile file(path);
    const bool folderThere = QDir().mkpath(folder);
    const bool written = folderThere && file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size()
        && file.commit();
    if (written) {
        const int id = QFontDatabase::addApplicationFont(path);
        if (id >= 0)
            return id;
        qCWarning(lcApp) << "could not register the pixel font from" << path;
    } else {
        // Whatever lies at that path now is not ours to load.
        qCWarning(lcApp) << "could not write the pixel font to" << path << ":"
                         << (folderThere ? file.errorString() : QStringLiteral("the folder cannot be made"));
    }
    return QFontDatabase::addApplicationFontFromData(bytes);
}

void registerFont()
{
    if (registered)
        return;
    const QByteArray bytes = embedded();
    if (bytes.isEmpty()) {
        qCWarning(lcApp) << "the pixel font is missing from the program";
        return;
    }
    registered = true;
    QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    if (install(bytes, folder) < 0)
        qCWarning(lcApp) << "the pixel font could not be registered; the default font stands in";
}

bool isRegistered() { return registered; }

QFont font(int pixelSize)
{
    QFont f(family());
    f.setPixelSize(pixelSize);
    // Its outlines sit on whole pixels at the sizes it is used at; hinting would only
    // move them.
    f.setHintingPreference(QFont::PreferNoHinting);
    return f;
}

} // namespace PembyFont
