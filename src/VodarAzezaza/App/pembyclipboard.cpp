#include "pembyclipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include <memory>

namespace pemby {

void copyToClipboard(const QList<PembyThing>& things)
{
    if (things.isEmpty())
        return;
    auto mime = std::make_unique<QMimeData>();
    PembyThings::copy(things, *mime);
    QGuiApplication::clipboard()->setMimeData(mime.release());
}

QList<PembyThing> pasteFromClipboard()
{
    return PembyThings::paste(QGuiApplication::clipboard()->mimeData());
}

} // namespace pemby
