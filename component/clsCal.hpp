#pragma once
// clsCal: the component's one public class. It has no fields of its own; every member
// works on the component state of the calling thread.

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "component/CalendarQuestions.hpp"
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

    // The three members' answers with whether the calendar held them (not members of the
    // class's interface): Found is false where the calendar has no such work day and the
    // answer is the date asked. They fail as the members fail; WorkDayAnswer shows its
    // failures, and then answers 1899-12-30, not found.
    DayAnswer WorkDayBeforeAnswer(double dtDay);
    DayAnswer WorkDayAfterAnswer(double dtDay);
    DayAnswer WorkDayAnswer(double dtDay, Enu_Direction Direction, int32_t Interval);

    // Many WorkDay questions at once, for schedulers (not a member of the class's
    // interface): answers[i] becomes what WorkDay answers to questions[i], the change stamp
    // of the database asked once for all of them while the calendar held in memory answers
    // (and after each question that the statements answer until it is read). A day is taken as the
    // suite's formatter writes it. The first question whose answer fails stops the call without a
    // report: its failure is returned, and the answers before it are written. `answers` holds at
    // least as many values as `questions`; `found`, when not empty, as many again, and
    // found[i] becomes 1 where answers[i] is a day of the calendar, 0 where it is the date
    // asked (WorkDayAnswer's Found).
    WorkDaysResult WorkDays(std::span<const WorkDayQuestion> questions, std::span<double> answers,
                            std::span<uint8_t> found = {});

    // The range questions of schedulers and scripts (not members of the class's interface),
    // answered from the calendar held in memory while the database's change stamp vouches
    // for it, else by their statements (CalendarDays.hpp), with the statements' answers
    // and failures either way; the stamp is asked once per call. Days are taken as the
    // suite's formatter writes them. A failure stops the call without a report and is
    // returned; without a connection it is 91.

    // counts[i] for ranges[i]: the work days from From's day up to the day before To's
    // (negative when To's day is before From's: then from To's up to the day before
    // From's), and the days of that range the calendar does not hold. Answered: the
    // counts written before a failure. `counts` holds as many values as `ranges`.
    WorkDaysResult WorkDaysBetween(std::span<const DayRange> ranges,
                                   std::span<WorkDayCount> counts);
    // What the calendar holds for the day of `from` and each day after it, one per place
    // of `days`. All or none: Answered is days.size() or 0.
    WorkDaysResult DayKinds(double from, std::span<CalendarDay> days);
    // The first and the last day the calendar holds, by its statement (one read of the
    // table's key); std::nullopt when it holds none. Failures are raised.
    std::optional<DaySpan> CalendarSpan();
};

}  // namespace zev::component
