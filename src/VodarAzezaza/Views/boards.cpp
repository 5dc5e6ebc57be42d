#include "boards.h"

#include "monthview.h"
#include "weekview.h"

#include <QString>

namespace Boards {

namespace {

using Maker = QWidget* (*)(AppModel&, QWidget*);

// The one place a mode gets its view. A mode without one shows a placeholder in the
// board area and cannot be rendered.
Maker makerFor(Mode mode)
{
    switch (mode) {
    case Mode::Week:
        return [](AppModel& model, QWidget* parent) -> QWidget* { return new WeekView(model, parent); };
    case Mode::Month:
        return [](AppModel& model, QWidget* parent) -> QWidget* { return new MonthView(model, parent); };
    case Mode::Notes:
        return nullptr;
    }
    return nullptr;
}

} // namespace

QWidget* make(Mode mode, AppModel& model, QWidget* parent)
{
    const Maker maker = makerFor(mode);
    return maker ? maker(model, parent) : nullptr;
}

bool available(Mode mode)
{
    return makerFor(mode) != nullptr;
}

QString name(Mode mode)
{
    switch (mode) {
    case Mode::Week:
        return QStringLiteral("the week board");
    case Mode::Month:
        return QStringLiteral("the month board");
    case Mode::Notes:
        return QStringLiteral("the notes screen");
    }
    return {};
}

} // namespace Boards
