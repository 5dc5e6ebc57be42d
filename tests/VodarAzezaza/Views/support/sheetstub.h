#pragma once
// Stand-in sheets for every kind, counting what the presenter asks of them, so the
// presentation rules can be tried before the real sheets exist. The real factories
// come back when the stubs go.

#include "sheets.h"

#include <QHash>

#include <array>
#include <memory>

class SheetStubs {
public:
    // Whether a stub goes on with the new target when its property moves, as a note
    // sheet does after a re-read gave its thing a fresh id.
    enum class Follow { Never, Always };
    explicit SheetStubs(Follow follow = Follow::Never);
    ~SheetStubs();
    SheetStubs(const SheetStubs&) = delete;
    SheetStubs& operator=(const SheetStubs&) = delete;

    // How many contents of a kind were made, and how often one was asked to save.
    int made(SheetKind kind) const { return log_->made.value(kind); }
    int saved(SheetKind kind) const { return log_->saved.value(kind); }
    int followed(SheetKind kind) const { return log_->followed.value(kind); }

    struct Log {
        QHash<SheetKind, int> made;
        QHash<SheetKind, int> saved;
        QHash<SheetKind, int> followed;
    };

private:
    std::shared_ptr<Log> log_ = std::make_shared<Log>();
    std::array<Sheets::Factory, Sheets::allKinds.size()> previous_;
};

// No sheet of any kind while it lives, as if none were built.
class NoSheets {
public:
    NoSheets();
    ~NoSheets();
    NoSheets(const NoSheets&) = delete;
    NoSheets& operator=(const NoSheets&) = delete;

private:
    std::array<Sheets::Factory, Sheets::allKinds.size()> previous_;
};
