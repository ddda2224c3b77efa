// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/support/Error.h"

#include <optional>
#include <utility>

// The value of an operation that can fail, or the error that stopped it.
template <typename T>
class Result
{
public:
    Result(T value)
        : m_value(std::move(value))
    {}
    Result(Error error)
        : m_error(std::move(error))
    {}

    bool ok() const { return m_value.has_value(); }
    explicit operator bool() const { return ok(); }

    const T &value() const & { return *m_value; }
    T &value() & { return *m_value; }
    T &&value() && { return std::move(*m_value); }
    const Error &error() const { return m_error; }

private:
    std::optional<T> m_value;
    Error m_error;
};

// An operation that returns nothing on success.
using Status = std::optional<Error>;
