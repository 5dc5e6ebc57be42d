#pragma once
// What the board tests share: a window to put a view in, Reduce Motion pinned for a
// test, colour counts over a grab, and the pictures of the boards, rendered light and
// dark for a person to look at.

#include "palette.h"

#include <QImage>
#include <QString>
#include <QWidget>

#include <functional>

// Reduce Motion on (or off) for the life of the pin, so fades and hovers settle at once.
struct MotionPin {
    explicit MotionPin(bool reduce = true);
    ~MotionPin();
};

// A top-level window of the given size holding `view`, shown, exposed and active (so
// edit fields get the keys); the view fills it.
class TestWindow : public QWidget {
public:
    explicit TestWindow(QSize size = QSize(1100, 700));
    // Takes `view` as its only child, fills the window with it, shows and activates.
    void hold(QWidget* view);
};

// Pixels of the grab that are exactly this colour.
int countColour(const QImage& image, const QColor& colour);

// Renders `make()` in `scheme` at `size` as the app would draw it: the pixel font
// registered, the palette of that side app-wide, the view in a window of that size.
QImage renderBoard(const std::function<QWidget*()>& make, QSize size, ColorScheme scheme);
// The light and dark renders side by side, saved as `name` in the working folder (or in
// PEMBY_PICTURES_DIR); the path it was written to, empty when it could not be written.
QString savePictures(const QString& name, const QImage& light, const QImage& dark);
