#include "boardtesting.h"

#include "appearance.h"
#include "pembyfont.h"
#include "reducemotion.h"

#include <QApplication>
#include <QDir>
#include <QPainter>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <iostream>

MotionPin::MotionPin(bool reduce) { ReduceMotion::setForTesting(reduce); }

MotionPin::~MotionPin() { ReduceMotion::setForTesting(false); }

TestWindow::TestWindow(QSize size)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    resize(size);
}

void TestWindow::hold(QWidget* view)
{
    layout()->addWidget(view);
    show();
    activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(this));
    QCoreApplication::processEvents();
}

int countColour(const QImage& image, const QColor& colour)
{
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    const QRgb want = colour.rgb();
    int n = 0;
    for (int y = 0; y < rgb.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x)
            n += (line[x] & 0xffffff) == (want & 0xffffff);
    }
    return n;
}

QImage renderBoard(const std::function<QWidget*()>& make, QSize size, ColorScheme scheme)
{
    PembyFont::install(PembyFont::embedded(), QDir::tempPath());
    Appearance appearance({scheme, nullptr, {}});
    appearance.makeAppWide();
    QCoreApplication::processEvents();
    QImage image;
    {
        QWidget window;
        window.setAutoFillBackground(true);
        QPalette p = window.palette();
        p.setColor(QPalette::Window, QColor(Palette::pembyBackground));
        window.setPalette(p);
        auto* layout = new QVBoxLayout(&window);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(make());
        window.resize(size);
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
        // Layout requests and deferred deletions of the first model signals.
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
        image = window.grab().toImage();
    }
    QApplication::setPalette(Appearance::widgetPalette(ColorScheme::Light));
    return image;
}

QString savePictures(const QString& name, const QImage& light, const QImage& dark)
{
    QImage both(light.width() + dark.width(), std::max(light.height(), dark.height()), QImage::Format_RGB32);
    both.fill(Qt::white);
    QPainter p(&both);
    p.drawImage(0, 0, light);
    p.drawImage(light.width(), 0, dark);
    p.end();
    const QDir dir(qEnvironmentVariableIsSet("PEMBY_PICTURES_DIR") ? qEnvironmentVariable("PEMBY_PICTURES_DIR")
                                                                   : QDir::currentPath());
    const QString path = dir.filePath(name);
    if (!both.save(path))
        return {};
    std::cout << "picture: " << path.toStdString() << '\n';
    return path;
}
