#pragma once
// The one way widget events reach the console: run the operation, then let the shell render.
#include <functional>
#include <utility>

#include "core/console.h"

namespace velmora {

struct EventSink {
    Console& console;
    std::function<void()> afterEvent;

    template <class F>
    void operator()(F&& operation) const {
        std::forward<F>(operation)(console);
        if (afterEvent) afterEvent();
    }
};

}  // namespace velmora
