// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/support/Error.h"

#include <optional>
#include <utility>

// The value of an operation that can fail, or the error that stopped it. True when it succeeded.
template <typename T, typename E = Error>
class Result
{
public:
    Result(T value)
        : m_value(std::move(value))
    {}
    Result(E error)
        : m_error(std::move(error))
    {}

    bool ok() const { return m_value.has_value(); }
    explicit operator bool() const { return ok(); }

    const T &value() const & { return *m_value; }
    T &value() & { return *m_value; }
    T &&value() && { return std::move(*m_value); }
    const E &error() const { return m_error; }

private:
    std::optional<T> m_value;
    E m_error;
};

// An operation that returns nothing on success: `return {};`, or the error. True when it
// succeeded; a result left unread is a warning.
template <typename E>
class [[nodiscard]] Result<void, E>
{
public:
    Result() = default;
    Result(E error)
        : m_error(std::move(error))
    {}

    bool ok() const { return !m_error.has_value(); }
    explicit operator bool() const { return ok(); }

    // Only of a failure.
    const E &error() const { return *m_error; }

private:
    std::optional<E> m_error;
};
