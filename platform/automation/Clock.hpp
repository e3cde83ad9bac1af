#pragma once
// "Now" for the whole system: the embedded database's GETDATE(), the server date that the
// PostgreSQL schema's GETDATE() gives, and the client's today all read this clock, so that
// tests can fix it and no test depends on the day it runs.

#include <cstdint>
#include <optional>

#include "platform/automation/OleDate.hpp"

namespace zev::automation {

// The local date and time now.
struct LocalTime {
    CivilDateTime Civil;
    int Millisecond = 0;
};
LocalTime LocalNow();
// Now as an OLE date, and the day alone (midnight).
double Now();
double Today();

// Fixes the clock of this process at an OLE date; nullopt gives the system clock back.
// Only tests fix it.
void SetFixedNow(std::optional<double> now);
// The fixed time, if any.
std::optional<double> FixedNow();
// A number that moves whenever the clock is fixed or released, so that a connection that
// handed the fixed time to its server knows when to hand it again.
uint64_t ClockVersion();

// A test that starts a program sets this variable to fix the program's clock
// ("YYYY-MM-DD[THH:MM[:SS]]"); it serves no other purpose. It is read when the clock is
// first asked; a value that is not a date is ignored.
inline constexpr const char* kTestNowEnvironment = "ZEVWORKCAL_TEST_NOW";

// Fixes the clock for a scope and gives back the previous setting at its end.
class ScopedFixedNow {
  public:
    explicit ScopedFixedNow(double now) : previous_(FixedNow()) { SetFixedNow(now); }
    ~ScopedFixedNow() { SetFixedNow(previous_); }
    ScopedFixedNow(const ScopedFixedNow&) = delete;
    ScopedFixedNow& operator=(const ScopedFixedNow&) = delete;

  private:
    std::optional<double> previous_;
};

}  // namespace zev::automation
