#pragma once
// The end of one model operation as one notice: which of the model's properties it
// changed. A view whose picture rests on several properties brings itself up to date
// once per operation from it, where it would otherwise follow each property's signal.

#include <QByteArray>
#include <QList>
#include <QMetaMethod>
#include <QObject>

#include <initializer_list>

// A property of the model or of one of its parts, named by its change signal: any
// `void (C::*)()` signal of theirs, so `contains(&X::fooChanged)` reads as it is written.
class ModelSignal {
public:
    template <class C>
    ModelSignal(void (C::*signal)()) : method_(QMetaMethod::fromSignal(signal))
    {
    }

    const QMetaMethod& method() const { return method_; }
    QByteArray name() const { return method_.name(); }
    friend bool operator==(const ModelSignal& a, const ModelSignal& b) { return a.method_ == b.method_; }

private:
    QMetaMethod method_;
};

class ModelChanges {
public:
    using Signal = ModelSignal;

    ModelChanges() = default;
    explicit ModelChanges(QList<Signal> changed) : changed_(std::move(changed)) {}

    bool contains(const Signal& signal) const { return changed_.contains(signal); }
    bool containsAny(std::initializer_list<Signal> any) const
    {
        for (const Signal& signal : any) {
            if (contains(signal))
                return true;
        }
        return false;
    }
    bool isEmpty() const { return changed_.isEmpty(); }
    // In the order their signals go out.
    const QList<Signal>& changed() const { return changed_; }

private:
    QList<Signal> changed_;
};

// Told once at the end of every operation that changed anything, before the changed
// properties' own signals, so whoever syncs on it sees the whole new state first.
class ModelTransitions : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

signals:
    void ended(const ModelChanges& changes);
};
