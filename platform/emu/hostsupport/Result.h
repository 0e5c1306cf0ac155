// What a host-side call gives back: its value, or the reason it failed, in
// words fit for the message that ends the run. One shape for every call of
// the host's side, so a caller reads them all alike:
//
//     Result<Volume> volume = findVolume(file);
//     if (!volume)
//         return Failure{"drive C: " + volume.reason()};
#pragma once

#include <cassert>
#include <string>
#include <utility>
#include <variant>

namespace emu::hostsupport {

struct Failure {
    std::string reason;
};

template <typename T> class Result {
public:
    Result(T value) : m_state(std::in_place_index<0>, std::move(value)) {}
    Result(Failure failure) : m_state(std::in_place_index<1>, std::move(failure)) {}

    bool ok() const { return m_state.index() == 0; }
    explicit operator bool() const { return ok(); }

    T& value() {
        assert(ok());
        return std::get<0>(m_state);
    }
    const T& value() const {
        assert(ok());
        return std::get<0>(m_state);
    }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }
    T& operator*() { return value(); }
    const T& operator*() const { return value(); }

    const std::string& reason() const {
        assert(!ok());
        return std::get<1>(m_state).reason;
    }
    // The failure, to hand on to the caller's caller unchanged.
    Failure failure() const { return std::get<1>(m_state); }

private:
    std::variant<T, Failure> m_state;
};

// A call that gives nothing back but may fail.
template <> class Result<void> {
public:
    Result() = default;
    Result(Failure failure) : m_failed(true), m_reason(std::move(failure.reason)) {}

    bool ok() const { return !m_failed; }
    explicit operator bool() const { return ok(); }
    const std::string& reason() const {
        assert(m_failed);
        return m_reason;
    }
    Failure failure() const { return Failure{m_reason}; }

private:
    bool m_failed = false;
    std::string m_reason;
};

} // namespace emu::hostsupport
