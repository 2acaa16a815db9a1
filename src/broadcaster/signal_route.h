#pragma once

#include <functional>
#include <initializer_list>

namespace chimeon {

// Carries each of `signalNumbers` out through the event loop of the application object (which must
// exist): the handler only notes the signal's number, and `handle` runs with it on the
// application's thread. Call once; false when the route cannot be made (the signals keep their
// default actions).
bool RouteSignalsToEventLoop(std::initializer_list<int> signalNumbers,
                             std::function<void(int)> handle);

}  // namespace chimeon
