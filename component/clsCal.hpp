#pragma once
// clsCal: the component's one public class. It has no fields of its own; every member
// works on the component state of the calling thread.

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "component/WorkDayQuestion.hpp"
#include "component/ZevEnum.hpp"
#include "platform/automation/ComError.hpp"
#include "platform/automation/Object.hpp"
#include "platform/automation/Variant.hpp"

namespace zev::component {

// What WorkDays did: the answers it wrote, and why it stopped before the rest.
struct WorkDaysResult {
    size_t Answered = 0;
    std::optional<automation::ErrorInfo> Failure;
};

class clsCal : public automation::Object {
  public:
    clsCal() = default;
    // Final release: the thread's shared connection is released, whatever other clsCal
    // objects of the thread still use it.
    ~clsCal() override;
    clsCal(const clsCal&) = delete;
    clsCal& operator=(const clsCal&) = delete;

    // Property put. The text is not used: a new connection object is created and
    // replaces the one held before. A failure leaves the previous connection in place.
    void ActiveConnection(std::string_view text);
    // Property put; stored and not used.
    void SystemName(std::string_view text);
    // Opens the maintenance window; failures are shown, never returned.
    void Show();
    // Property get: the state's flag, without asking the database.
    automation::VBool IsSetWorkCalendar() const;

    // The last work day on or before dtDay; dtDay itself when there is none.
    double WorkDayBefore(double dtDay);
    // The first work day on or after dtDay; dtDay itself when there is none.
    double WorkDayAfter(double dtDay);
    // The work day Interval work days from the work day on or before dtDay, forward
    // unless Direction is Dir_Backward. Failures are shown, never returned.
    double WorkDay(double dtDay, Enu_Direction Direction, int32_t Interval);

    // Many WorkDay questions at once, for schedulers (not a member of the class's
    // interface): answers[i] becomes what WorkDay answers to questions[i], the change stamp
    // of the database asked once for all of them. A day is taken as the suite's formatter
    // writes it. The first question whose answer fails stops the call without a report:
    // its failure is returned, and the answers before it are written. `answers` holds at
    // least as many values as `questions`.
    WorkDaysResult WorkDays(std::span<const WorkDayQuestion> questions, std::span<double> answers);
};

}  // namespace zev::component
