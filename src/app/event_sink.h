#pragma once
// The one way widget events reach the console. A crew action is posted to the console's own
// thread and carried out there, in order; the window shows its outcome from the next snapshot.
// The action runs later, on another thread: it must capture by value, never a reference to a
// widget's local. Reading work (the results file, the CSV export) runs at once on the
// window's own copy of the console instead, so a save dialog never holds up the console.
#include <functional>
#include <type_traits>
#include <utility>

#include "core/console.h"

namespace velmora {

struct EventSink {
    using Action = std::function<void(Console&)>;
    std::function<void(Action)> post;   // to the console's thread
    std::function<void(Action)> local;  // on the window's copy, now

    template <class F>
    void operator()(F&& action) const {
        static_assert(std::is_copy_constructible_v<std::decay_t<F>>, "an action is copied");
        post(Action(std::forward<F>(action)));
    }
    template <class F>
    void Local(F&& action) const {
        local(Action(std::forward<F>(action)));
    }
};

}  // namespace velmora
