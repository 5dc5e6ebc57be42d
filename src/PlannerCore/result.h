#pragma once
// Operations that can fail return a Result carrying the user-facing text of the
// failure; nothing throws across module boundaries.

#include <QString>

#include <optional>
#include <utility>
#include <variant>

struct Error {
    QString text;
    bool operator==(const Error&) const = default;
};

template <class T>
class [[nodiscard]] Result {
public:
    Result(T value) : state_(std::move(value)) {}
    Result(Error error) : state_(std::move(error)) {}

    bool ok() const { return state_.index() == 0; }
    explicit operator bool() const { return ok(); }
    const T& value() const& { return std::get<0>(state_); }
    T&& value() && { return std::get<0>(std::move(state_)); }
    const T& operator*() const& { return value(); }
    const T* operator->() const { return &value(); }
    // The failure text; empty on success.
    QString errorText() const { return ok() ? QString() : std::get<1>(state_).text; }

private:
    std::variant<T, Error> state_;
};

template <>
class [[nodiscard]] Result<void> {
public:
    Result() = default;
    Result(Error error) : error_(std::move(error)) {}

    bool ok() const { return !error_; }
    explicit operator bool() const { return ok(); }
    QString errorText() const { return error_ ? error_->text : QString(); }

private:
    std::optional<Error> error_;
};

using Status = Result<void>;
