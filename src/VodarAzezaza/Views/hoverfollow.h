#pragma once
// Hover marks that follow the pointer when a line moves rather than the pointer. Qt
// tells a widget about the pointer only when the pointer itself moves, so a row pushed
// down under a still pointer (new things above it, a column that grows, a scrolled
// board), or uncovered by a popover or menu that closes, would keep the tint of a line
// the pointer has left until the next mouse move.
//
// API
//   HoverFollow::track(this, [this](bool over) { setHovering(over); });
//
// The widget keeps its own enter and leave handling. Whenever a widget of the app
// moves, is resized, shown or hidden, and whenever a popup window goes away, the pointer
// is looked up once on the next turn of the event loop: the tracked widget under it is
// told it is hovered, every other one that thinks it is hovered is told it is not.

#include <QObject>
#include <QWidget>

#include <functional>

class HoverFollow : public QObject {
    Q_OBJECT
public:
    using Setter = std::function<void(bool over)>;
    // Owned by `widget`.
    static HoverFollow* track(QWidget* widget, Setter set);
    ~HoverFollow() override;

    // Looks the pointer up again soon.
    static void recheck();

private:
    HoverFollow(QWidget* widget, Setter set);
    friend class HoverWatch;
    static void run();
    void settle(bool over);

    QWidget* widget_;
    Setter set_;
    bool over_ = false;
};
