#include "pictures.h"

#include "appearance.h"
#include "pembyfont.h"
#include "reducemotion.h"

#include <QApplication>
#include <QDir>
#include <QPainter>

QList<QImage> inBothAppearances(const std::function<QImage(ColorScheme)>& render)
{
    ReduceMotion::setForTesting(true);
    PembyFont::install(PembyFont::embedded(), QDir::tempPath());
    QList<QImage> pictures;
    for (const ColorScheme scheme : {ColorScheme::Light, ColorScheme::Dark}) {
        Appearance appearance({scheme, nullptr, {}});
        appearance.makeAppWide();
        QCoreApplication::processEvents();
        pictures.append(render(scheme));
    }
    QApplication::setPalette(Appearance::widgetPalette(ColorScheme::Light));
    ReduceMotion::setForTesting(false);
    return pictures;
}

QImage sideBySide(const QList<QImage>& pictures, int gap)
{
    int width = 0;
    int height = 0;
    for (const QImage& picture : pictures) {
        width += picture.width() + (width > 0 ? gap : 0);
        height = std::max(height, picture.height());
    }
    QImage sheet(std::max(1, width), std::max(1, height), QImage::Format_RGB32);
    sheet.fill(Qt::white);
    QPainter p(&sheet);
    int x = 0;
    for (const QImage& picture : pictures) {
        p.drawImage(x, 0, picture);
        x += picture.width() + gap;
    }
    return sheet;
}

QList<Thing> someThings(int open, int done)
{
    QList<Thing> things;
    for (int i = 0; i < open + done; ++i) {
        Thing t = Thing::make(QStringLiteral("t%1").arg(i));
        t.done = i >= open;
        things.append(t);
    }
    return things;
}
