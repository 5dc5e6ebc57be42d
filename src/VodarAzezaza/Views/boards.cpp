#include "boards.h"

#include "monthview.h"
#include "notesview.h"
#include "weekview.h"

namespace Boards {

QWidget* make(Mode mode, AppModel& model, QWidget* parent)
{
    switch (mode) {
    case Mode::Week:
        return new WeekView(model, parent);
    case Mode::Month:
        return new MonthView(model, parent);
    case Mode::Notes:
        return new NotesView(model, parent);
    }
    return new WeekView(model, parent);
}

} // namespace Boards
