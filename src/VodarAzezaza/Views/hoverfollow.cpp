#include "hoverfollow.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QHash>
#include <QPointer>
#include <QSet>
#include <QTimer>

namespace {

struct Registry {
    QHash<QWidget*, HoverFollow*> tracked;
    QSet<HoverFollow*> hovered;
    QPointer<QObject> watch;
    bool scheduled = false;
};

Registry& registry()
{
    static Registry r;
    return r;
}

} // namespace

// Hears, app-wide, what can bring another line under a still pointer, and the pointer's
// own entering and leaving of tracked widgets.
class HoverWatch : public QObject {
public:
    explicit HoverWatch(QObject* parent) : QObject(parent) { qApp->installEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::Enter:
        case QEvent::Leave:
            if (!watched->isWidgetType())
                break;
            if (HoverFollow* t = registry().tracked.value(static_cast<QWidget*>(watched))) {
                t->over_ = event->type() == QEvent::Enter;
                follow(t);
                // Qt says leave only to what it knew the pointer was over: a line lit by
                // a look-up goes dark by another.
                if (t->over_ && registry().hovered.size() > 1)
                    HoverFollow::recheck();
            }
            break;
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::Show:
        case QEvent::Hide:
            // A popup going away uncovers what lay under it; anything else moving may
            // bring another line under the pointer.
            if (watched->isWidgetType() && !registry().tracked.isEmpty())
                HoverFollow::recheck();
            break;
        default:
            break;
        }
        return false;
    }

private:
    static void follow(HoverFollow* t)
    {
        if (t->over_)
            registry().hovered.insert(t);
        else
            registry().hovered.remove(t);
    }
};

HoverFollow* HoverFollow::track(QWidget* widget, Setter set) { return new HoverFollow(widget, std::move(set)); }

HoverFollow::HoverFollow(QWidget* widget, Setter set) : QObject(widget), widget_(widget), set_(std::move(set))
{
    Registry& r = registry();
    if (!r.watch && qApp)
        r.watch = new HoverWatch(qApp);
    r.tracked.insert(widget, this);
}

HoverFollow::~HoverFollow()
{
    Registry& r = registry();
    r.tracked.remove(widget_);
    r.hovered.remove(this);
}

void HoverFollow::recheck()
{
    Registry& r = registry();
    if (r.scheduled || !r.watch)
        return;
    r.scheduled = true;
    QTimer::singleShot(0, r.watch, &HoverFollow::run);
}

void HoverFollow::run()
{
    Registry& r = registry();
    r.scheduled = false;
    if (r.tracked.isEmpty())
        return;
    // One look at the pointer for all of them: the tracked widget it is over, if any.
    HoverFollow* under = nullptr;
    for (QWidget* w = QApplication::widgetAt(QCursor::pos()); w && !under; w = w->parentWidget()) {
        under = r.tracked.value(w);
        if (w->isWindow())
            break;
    }
    const QList<HoverFollow*> left(r.hovered.cbegin(), r.hovered.cend());
    for (HoverFollow* each : left) {
        // A setter may remove other lines; only those still tracked are told.
        if (each != under && r.hovered.contains(each))
            each->settle(false);
    }
    // While a popup has the mouse, or a button is held (a press, a drag), nothing new
    // lights up.
    if (under && !under->over_ && under->widget_->isVisible() && !QApplication::activePopupWidget()
        && QGuiApplication::mouseButtons() == Qt::NoButton)
        under->settle(true);
}

void HoverFollow::settle(bool over)
{
    if (over == over_)
        return;
    over_ = over;
    if (over)
        registry().hovered.insert(this);
    else
        registry().hovered.remove(this);
    set_(over);
}
