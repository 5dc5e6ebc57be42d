#include "renderer.h"

#include "appmodel.h"
#include "launch.h"
#include "plannercontent.h"
#include "sheets.h"

#include <QEventLoop>
#include <QImage>
#include <QPixmap>
#include <QSaveFile>
#include <QTimer>

#include <memory>

namespace Renderer {

std::optional<QUuid> thingInVisibleWeek(const AppModel& model, const QString& title)
{
    for (const Day day : model.weekDays()) {
        for (const Thing& thing : model.planner().things(Place::onDay(day))) {
            if (thing.title == title)
                return thing.id;
        }
    }
    return std::nullopt;
}

Status render(AppModel& model, const Launch& launch, const QString& path, const Options& options)
{
    const std::optional<QUuid> note = launch.renderNote ? thingInVisibleWeek(model, *launch.renderNote) : std::nullopt;
    std::unique_ptr<QWidget> view;
    QSize size;
    if (note) {
        const Sheets::Factory& sheet = options.sheets[SheetKind::ThingNote];
        if (!sheet)
            return Error{QStringLiteral("nothing to render: there is no note sheet")};
        // The sheet takes its thing from the model, as when it is opened on the board.
        model.setEditingNote(note);
        view.reset(sheet(model, nullptr));
        size = noteSheetSize;
    } else {
        view = std::make_unique<PlannerContent>(model);
        size = boardSize;
    }

    // Laid out and drawn as a window would be, but never put on a screen.
    view->setAttribute(Qt::WA_DontShowOnScreen);
    view->resize(size);
    view->show();
    QEventLoop settle;
    QTimer::singleShot(options.settleMs, &settle, &QEventLoop::quit);
    settle.exec();

    const QImage image = view->grab().toImage();
    if (image.isNull())
        return Error{QStringLiteral("the view could not be drawn")};
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return Error{QStringLiteral("couldn't write ") + path + QStringLiteral(": ") + file.errorString()};
    if (!image.save(&file, "PNG")) {
        file.cancelWriting();
        return Error{QStringLiteral("couldn't encode the picture as PNG for ") + path};
    }
    if (!file.commit())
        return Error{QStringLiteral("couldn't write ") + path + QStringLiteral(": ") + file.errorString()};
    return {};
}

} // namespace Renderer
