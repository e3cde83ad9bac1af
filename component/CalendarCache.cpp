// CalendarCache (CalendarCache.hpp): the per-thread copy of the calendar, the stamp it
// was read at, what the questions at that stamp have cost, and the rule that lets it answer.
#include "component/CalendarCache.hpp"

#include <memory>
#include <optional>

#include "host/MMTS.hpp"
#include "platform/automation/AsciiText.hpp"
#include "platform/automation/OleDate.hpp"

namespace zev::component::CalendarCache {

namespace {

struct ThreadCopy {
    std::weak_ptr<data::Connection> connection;
    bool enabled = true;
    std::optional<uint64_t> stamp;  // the stamp the fields below belong to; none before
    StatementHints hints;
    int64_t spanDays = 0;  // the days from the first to the last, what reading them costs
    uint64_t charged = 0;  // what the questions at this stamp would have cost the statements
    std::optional<WorkCalendarIndex> index;  // read once affordable
    std::optional<CalendarDays> days;        // likewise, at the first range question then
};

ThreadCopy& Copy() {
    thread_local ThreadCopy copy;
    return copy;
}

bool SameObject(const std::weak_ptr<data::Connection>& a, const data::ConnectionPtr& b) {
    return !a.owner_before(b) && !b.owner_before(a);
}

// The calendar's first and last day by the key; an empty span for an empty calendar, an
// unknown one (read the copy at once) for days the date layer does not read.
void ReadSpan(data::Connection& connection, ThreadCopy& copy) {
    data::Recordset rs = connection.Execute(RangeStatements::kSpan);
    const automation::Variant& first = rs.Fields(0).Value();
    const automation::Variant& last = rs.Fields(1).Value();
    copy.spanDays = 0;
    if (!first.IsNull() && !last.IsNull()) {
        try {
            copy.hints.First = automation::TryOleDaySerial(automation::CDate(first));
            copy.hints.Last = automation::TryOleDaySerial(automation::CDate(last));
        } catch (...) {
            copy.hints.First.reset();
            copy.hints.Last.reset();
        }
        if (copy.hints.First && copy.hints.Last) {
            copy.spanDays = int64_t{*copy.hints.Last} - *copy.hints.First + 1;
        }
    }
    rs.Close();
}

// The thread's copy when it may answer now: turned on, and its fields belonging to the
// stamp the connection gives now (dropped and begun again when the stamp has moved);
// nullptr otherwise.
ThreadCopy* AtCurrentStamp(const data::ConnectionPtr& connection) {
    ThreadCopy& copy = Copy();
    if (!SameObject(copy.connection, connection) || copy.connection.expired()) {
        copy = ThreadCopy{};
        copy.connection = connection;
        copy.enabled = !automation::EqualsNoCase(host::MMTS::GetPropsValue("CalendarCache"), "off");
        copy.hints.Indexed = copy.enabled;
    }
    if (!copy.enabled) return nullptr;
    const std::optional<uint64_t> stamp = connection->ChangeStamp("t_WorkCalendar");
    if (!stamp) {
        copy.hints = StatementHints{true, std::nullopt, std::nullopt};
        return nullptr;
    }
    if (copy.stamp != stamp) {
        copy.stamp.reset();
        copy.index.reset();
        copy.days.reset();
        copy.charged = 0;
        copy.hints = StatementHints{true, std::nullopt, std::nullopt};
        try {
            ReadSpan(*connection, copy);
        } catch (...) {
            // The statements run instead and meet the failure themselves.
            return nullptr;
        }
        copy.stamp = stamp;
    }
    return &copy;
}

// Whether the questions at this stamp, with `cost` more, pay for reading the calendar.
bool Affordable(ThreadCopy& copy, uint64_t cost) {
    copy.charged += cost;
    return copy.spanDays <= kReadAtOnce || copy.charged >= static_cast<uint64_t>(copy.spanDays);
}

}  // namespace

const WorkCalendarIndex* Current(const data::ConnectionPtr& connection, uint64_t cost) {
    ThreadCopy* copy = AtCurrentStamp(connection);
    if (copy == nullptr) return nullptr;
    if (!copy->index) {
        if (!Affordable(*copy, cost)) return nullptr;
        try {
            copy->index = WorkCalendarIndex::Load(*connection);
        } catch (...) {
            return nullptr;
        }
    }
    return copy->index->Answers() ? &*copy->index : nullptr;
}

const CalendarDays* CurrentDays(const data::ConnectionPtr& connection, uint64_t cost) {
    ThreadCopy* copy = AtCurrentStamp(connection);
    if (copy == nullptr) return nullptr;
    if (!copy->days) {
        if (!Affordable(*copy, cost)) return nullptr;
        try {
            copy->days = CalendarDays::Load(*connection);
        } catch (...) {
            return nullptr;
        }
    }
    return copy->days->Answers() ? &*copy->days : nullptr;
}

void Charge(const data::ConnectionPtr& connection, uint64_t cost) {
    ThreadCopy& copy = Copy();
    if (SameObject(copy.connection, connection) && copy.stamp) copy.charged += cost;
}

StatementHints Hints(const data::ConnectionPtr& connection) {
    const ThreadCopy& copy = Copy();
    if (!SameObject(copy.connection, connection)) return {};
    return copy.hints;
}

}  // namespace zev::component::CalendarCache
