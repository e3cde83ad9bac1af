// The system's clock: the local time of the system, or a time that tests fix. Exports
// LocalNow, Now, Today and the fixing functions; the fixed state is private.

#include "platform/automation/Clock.hpp"

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <mutex>

namespace zev::automation {
namespace {

struct ClockState {
    std::mutex Mutex;
    std::optional<double> Fixed;
    uint64_t Version = 1;
};

ClockState& State() {
    static ClockState* state = [] {
        auto* s = new ClockState;  // never destroyed: readable while statics go away
        if (const char* text = std::getenv(kTestNowEnvironment); text != nullptr) {
            s->Fixed = ParseIsoDate(text);
        }
        return s;
    }();
    return *state;
}

LocalTime SystemNow() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t t = std::chrono::system_clock::to_time_t(now);
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
        1000;
    std::tm local{};
    localtime_r(&t, &local);
    return {CivilDateTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                          local.tm_min, local.tm_sec},
            static_cast<int>(ms)};
}

}  // namespace

LocalTime LocalNow() {
    const std::optional<double> fixed = FixedNow();
    if (!fixed) return SystemNow();
    // The civil time rounds to the second; the millisecond is what lies beyond it.
    const CivilDateTime civil = CivilFromOle(*fixed);
    const double seconds = (*fixed - OleFromCivil(civil)) * 86400.0;
    const int ms = static_cast<int>(std::lround(seconds * 1000.0));
    return {civil, ms > 0 && ms < 1000 ? ms : 0};
}

double Now() {
    if (const std::optional<double> fixed = FixedNow()) return *fixed;
    const LocalTime now = SystemNow();
    return OleFromCivil(now.Civil);
}

double Today() {
    return OleDatePart(Now());
}

void SetFixedNow(std::optional<double> now) {
    ClockState& s = State();
    const std::lock_guard lock(s.Mutex);
    s.Fixed = now;
    ++s.Version;
}

std::optional<double> FixedNow() {
    ClockState& s = State();
    const std::lock_guard lock(s.Mutex);
    return s.Fixed;
}

uint64_t ClockVersion() {
    ClockState& s = State();
    const std::lock_guard lock(s.Mutex);
    return s.Version;
}

}  // namespace zev::automation
