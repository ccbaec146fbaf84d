#pragma once

// Library objects that several Python threads can reach. pybind11 keeps the
// GIL for every call, which serialises them; a call that lets the GIL go
// (to let other threads run during a long search) must guard the object
// itself, since the library's objects are used by one thread at a time
// (their const members may run together). Guarded<T> holds the object
// behind a reader/writer lock: queries share it, changes take it alone, so
// every answer is that of some order of the calls.
//
// No thread waits for the lock while it holds the GIL: a call that holds
// the GIL only tries the lock and, when it is busy, lets the GIL go before
// waiting. So the thread holding the lock can always get the GIL back.
// The functions run inside the lock call no Python (a finalizer run by an
// allocation could re-enter the same object): read Python arguments before,
// build Python results after.

#include <pybind11/pybind11.h>

#include <mutex>
#include <shared_mutex>
#include <type_traits>
#include <utility>

namespace tessary_python {

namespace py = pybind11;

template <class T>
class Guarded {
public:
    template <class... Args>
    explicit Guarded(Args&&... args) : m_value(std::forward<Args>(args)...) {}
    Guarded(const Guarded&) = delete;
    Guarded& operator=(const Guarded&) = delete;

    // f(const T&) with the GIL held (short queries).
    template <class F>
    auto Read(F&& f) const {
        std::shared_lock<std::shared_mutex> lock(m_mutex, std::try_to_lock);
        if (!lock.owns_lock()) Wait(lock);
        return f(static_cast<const T&>(m_value));
    }
    // f(T&) with the GIL held (short changes).
    template <class F>
    auto Write(F&& f) {
        std::unique_lock<std::shared_mutex> lock(m_mutex, std::try_to_lock);
        if (!lock.owns_lock()) Wait(lock);
        return f(m_value);
    }
    // f(const T&) without the GIL: long queries, which other threads' queries may join.
    template <class F>
    auto ReadReleased(F&& f) const {
        static_assert(!std::is_base_of_v<py::handle, std::decay_t<decltype(f(std::declval<const T&>()))>>,
                      "Python objects are built after the GIL is back");
        py::gil_scoped_release release;
        std::shared_lock<std::shared_mutex> lock(m_mutex);
        return f(static_cast<const T&>(m_value));
    }
    // f(T&) without the GIL: long changes.
    template <class F>
    auto WriteReleased(F&& f) {
        static_assert(!std::is_base_of_v<py::handle, std::decay_t<decltype(f(std::declval<T&>()))>>,
                      "Python objects are built after the GIL is back");
        py::gil_scoped_release release;
        std::unique_lock<std::shared_mutex> lock(m_mutex);
        return f(m_value);
    }

private:
    template <class Lock>
    static void Wait(Lock& lock) {
        py::gil_scoped_release release;
        lock.lock();
    }

    mutable std::shared_mutex m_mutex;
    T m_value;
};

}  // namespace tessary_python
