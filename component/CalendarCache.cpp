// CalendarCache (CalendarCache.hpp): the per-thread copy of the calendar, the stamp it
// was read at, and the rule that lets it answer.
#include "component/CalendarCache.hpp"

#include <memory>
#include <optional>

#include "host/MMTS.hpp"
#include "platform/automation/AsciiText.hpp"

namespace zev::component::CalendarCache {

namespace {

struct ThreadCopy {
    std::weak_ptr<data::Connection> connection;
    bool enabled = true;
    std::optional<uint64_t> stamp;  // the stamp the index was read at; none before a read
    WorkCalendarIndex index;
    std::optional<CalendarDays> days;  // read at the first range question at `stamp`
};

ThreadCopy& Copy() {
    thread_local ThreadCopy copy;
    return copy;
}

bool SameObject(const std::weak_ptr<data::Connection>& a, const data::ConnectionPtr& b) {
    return !a.owner_before(b) && !b.owner_before(a);
}

// The thread's copy when it may answer now: turned on, and read at the stamp the
// connection gives now (read again when the stamp has moved); nullptr otherwise.
ThreadCopy* AtCurrentStamp(const data::ConnectionPtr& connection) {
    ThreadCopy& copy = Copy();
    if (!SameObject(copy.connection, connection) || copy.connection.expired()) {
        copy = ThreadCopy{};
        copy.connection = connection;
        copy.enabled = !automation::EqualsNoCase(host::MMTS::GetPropsValue("CalendarCache"), "off");
    }
    if (!copy.enabled) return nullptr;
    const std::optional<uint64_t> stamp = connection->ChangeStamp("t_WorkCalendar");
    if (!stamp) return nullptr;
    if (copy.stamp != stamp) {
        copy.stamp.reset();
        try {
            copy.index = WorkCalendarIndex::Load(*connection);
        } catch (...) {
            // The statements run instead and meet the failure themselves.
            return nullptr;
        }
        copy.stamp = stamp;
        copy.days.reset();
    }
    return &copy;
}

}  // namespace

const WorkCalendarIndex* Current(const data::ConnectionPtr& connection) {
    ThreadCopy* copy = AtCurrentStamp(connection);
    return copy != nullptr && copy->index.Answers() ? &copy->index : nullptr;
}

const CalendarDays* CurrentDays(const data::ConnectionPtr& connection) {
    ThreadCopy* copy = AtCurrentStamp(connection);
    if (copy == nullptr) return nullptr;
    if (!copy->days) {
        try {
            copy->days = CalendarDays::Load(*connection);
        } catch (...) {
            return nullptr;
        }
    }
    return copy->days->Answers() ? &*copy->days : nullptr;
}

}  // namespace zev::component::CalendarCache
