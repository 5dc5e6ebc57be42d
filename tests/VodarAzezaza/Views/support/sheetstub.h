#pragma once
// Stand-in sheets for every kind, counting what the presenter asks of them, so the
// presentation rules can be tried without the real sheets. Give their factories to the
// window, the presenter or the render that is to present them.

#include "sheets.h"

#include <QHash>

#include <memory>
#include <optional>

class SheetStubs {
public:
    // Whether a stub goes on with the new target when its property moves, as a note
    // sheet does after a re-read gave its thing a fresh id.
    enum class Follow { Never, Always };
    explicit SheetStubs(Follow follow = Follow::Never);
    // While it lives, what the factories of `outer` make are this one's stubs, counted
    // here: a window built with outer's factories shows them.
    SheetStubs(SheetStubs& outer, Follow follow);
    ~SheetStubs();
    SheetStubs(const SheetStubs&) = delete;
    SheetStubs& operator=(const SheetStubs&) = delete;

    Sheets::Factories factories() const;

    // How many contents of a kind were made, and how often one was asked to save.
    int made(SheetKind kind) const { return log_->made.value(kind); }
    int saved(SheetKind kind) const { return log_->saved.value(kind); }
    int followed(SheetKind kind) const { return log_->followed.value(kind); }

    struct Log {
        QHash<SheetKind, int> made;
        QHash<SheetKind, int> saved;
        QHash<SheetKind, int> followed;
    };
    // What the factories make now: stubs that follow or not, counted in one log.
    struct Making {
        Follow follow;
        std::shared_ptr<Log> log;
    };

private:
    std::shared_ptr<Log> log_ = std::make_shared<Log>();
    std::shared_ptr<Making> making_;
    // What the outer stubs' factories made before this one stood in.
    std::optional<Making> before_;
};
