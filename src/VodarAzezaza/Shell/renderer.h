#pragma once
// Draws what a render run asks for into a PNG file, with no window on screen: the board
// area (1100 x 640) of the model's mode, or, with PLANNER_NOTE naming a thing of the
// visible week, that thing's note sheet (640 x 520).
//
// API
//   const Status drawn = Renderer::render(model, launch, *launch.renderPath);
//   if (!drawn) { print drawn.errorText(); exit non-zero }
//
// The file is written whole or not at all; a failed drawing, encoding or write each
// give their reason.

#include "result.h"
#include "sheets.h"

#include <QSize>
#include <QUuid>

#include <optional>

class AppModel;
struct Launch;

namespace Renderer {

inline constexpr QSize boardSize{1100, 640};
inline constexpr QSize noteSheetSize{640, 520};

struct Options {
    // How long the content may load and settle before it is drawn.
    int settleMs = 900;
    // The note sheet of PLANNER_NOTE comes from these, as on the board.
    Sheets::Factories sheets = Sheets::appSheets();
};

Status render(AppModel& model, const Launch& launch, const QString& path, const Options& options = {});

// The first thing of the visible week, day by day, with exactly this title.
std::optional<QUuid> thingInVisibleWeek(const AppModel& model, const QString& title);

} // namespace Renderer
