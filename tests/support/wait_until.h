#pragma once
// Tests wait for the condition they check, never a fixed time: the suite runs
// on a busy machine beside a sanitizer build.
#include <chrono>
#include <functional>

namespace testing_support {

// Lets the application's events run until `done` holds or `limit` has passed;
// answers whether `done` holds.
bool WaitUntil(const std::function<bool()>& done,
               std::chrono::milliseconds limit = std::chrono::seconds(30));

}  // namespace testing_support
