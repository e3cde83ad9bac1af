// CalendarCache (CalendarCache.hpp): the per-thread copy of the calendar and the stamp it
// was read at.
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

}  // namespace

const WorkCalendarIndex* Current(const data::ConnectionPtr& connection) {
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
    return &copy.index;
}

const CalendarDays* CurrentDays(const data::ConnectionPtr& connection) {
    if (Current(connection) == nullptr) return nullptr;
    ThreadCopy& copy = Copy();
    if (!copy.days) {
        try {
            copy.days = CalendarDays::Load(*connection);
        } catch (...) {
            return nullptr;
        }
    }
    return &*copy.days;
}

}  // namespace zev::component::CalendarCache
