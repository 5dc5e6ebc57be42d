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
    SheetStubs();
    ~SheetStubs();
    SheetStubs(const SheetStubs&) = delete;
    SheetStubs& operator=(const SheetStubs&) = delete;

    // How many contents of a kind were made, and how often one was asked to save.
    int made(SheetKind kind) const { return log_->made.value(kind); }
    int saved(SheetKind kind) const { return log_->saved.value(kind); }

    struct Log {
        QHash<SheetKind, int> made;
        QHash<SheetKind, int> saved;
    };

private:
    std::shared_ptr<Log> log_ = std::make_shared<Log>();
    std::array<Sheets::Factory, Sheets::allKinds.size()> previous_;
};
