#pragma once
// What the tests of columns, rows and details share: a window to put them in, the
// mouse as a person uses it, a context menu's items, and drags with real QMimeData
// delivered to a drop target as the desktop delivers them.

#include <QMimeData>
#include <QPoint>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <memory>

class QMenu;

// A shown, active window holding one widget at the given width.
class ViewHost : public QWidget {
public:
    explicit ViewHost(int width = 320);
    // Puts `child` into the window and shows it, waiting until the window is active.
    void hold(QWidget* child);
};

// One item of a menu: its text and whether it can be chosen; a submenu's items follow
// its own, indented by "  ".
struct MenuItem {
    QString text;
    bool enabled = true;
    bool operator==(const MenuItem&) const = default;
};
QList<MenuItem> itemsOf(const QMenu& menu);
// Triggers the item with this text (looking into submenus too); whether there was one.
bool trigger(QMenu& menu, const QString& text);

// A left click at `at` (the centre when null) with modifiers.
void click(QWidget* widget, QPoint at = QPoint(), Qt::KeyboardModifiers modifiers = Qt::NoModifier);
void doubleClick(QWidget* widget, QPoint at = QPoint());
// Presses at `from`, moves past the drag distance and holds the button: the widget
// starts its drag from there.
void pressAndDrag(QWidget* widget, QPoint from = QPoint());

// What a drop target did with a drop.
struct DropAnswer {
    bool entered = false;   // the target took the drag on entering
    Qt::DropAction proposed = Qt::IgnoreAction;
    bool accepted = false;  // the drop itself
};
// Enters `target` at `at`, moves within it, and drops there, as the desktop does. Only
// the drop itself carries a fraction of a pixel (the hover events carry whole ones).
DropAnswer dropOn(QWidget* target, QPointF at, const QMimeData& data,
                  Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction);
// Enters and moves over `target` without dropping; `leave` then leaves it.
bool hoverDrag(QWidget* target, QPointF at, const QMimeData& data);
void leaveDrag(QWidget* target);

std::unique_ptr<QMimeData> textData(const QString& text);
// A picture saved where the test runs (PEMBY_PICTURE_DIR when set); its path.
QString savePicture(const QImage& image, const QString& name);

#include <ostream>
inline void PrintTo(const MenuItem& item, std::ostream* os)
{
    *os << '"' << item.text.toStdString() << '"' << (item.enabled ? "" : " (disabled)");
}
