#include "component/WorkCalendarIndex.hpp"

#include <algorithm>

#include "platform/automation/ComError.hpp"
#include "platform/automation/OleDate.hpp"

namespace zev::component {

using automation::OleDaySerial;

WorkCalendarIndex::WorkCalendarIndex(data::ConnectionPtr connection)
    : connection_(std::move(connection)) {
    if (!connection_) automation::Raise(automation::errors::kObjectNotSet);
    Reload();
}

bool WorkCalendarIndex::IsStale() {
    return connection_->DataVersion() != version_;
}

bool WorkCalendarIndex::Refresh() {
    if (!IsStale()) return false;
    Reload();
    return true;
}

void WorkCalendarIndex::Reload() {
    // The version is read first: a change that lands during the load makes the index
    // stale at once rather than unnoticed.
    const uint64_t version = connection_->DataVersion();
    data::Recordset rs = connection_->Execute(
        "SELECT FDay, FInterID FROM t_WorkCalendar WHERE FInterID>0 ORDER BY FDay");
    std::vector<int32_t> days;
    std::vector<int32_t> numbers;
    days.reserve(static_cast<size_t>(rs.RecordCount()));
    numbers.reserve(days.capacity());
    for (; !rs.Eof(); rs.MoveNext()) {
        days.push_back(OleDaySerial(automation::CDate(rs.Fields(0).Value())));
        numbers.push_back(automation::CLng(rs.Fields(1).Value()));
    }
    rs.Close();

    std::vector<int32_t> maxSoFar(numbers.size());
    std::vector<std::pair<int32_t, int32_t>> byNumber(numbers.size());
    bool dense = true;
    int32_t running = 0;
    for (size_t i = 0; i < numbers.size(); ++i) {
        running = std::max(running, numbers[i]);
        maxSoFar[i] = running;
        byNumber[i] = {numbers[i], days[i]};
        dense = dense && numbers[i] == static_cast<int32_t>(i + 1);
    }
    // Of several days with one number the earliest is taken.
    std::sort(byNumber.begin(), byNumber.end());

    days_ = std::move(days);
    numbers_ = std::move(numbers);
    maxNumberSoFar_ = std::move(maxSoFar);
    byNumber_ = std::move(byNumber);
    dense_ = dense;
    version_ = version;
}

std::ptrdiff_t WorkCalendarIndex::LastOnOrBefore(int32_t serial) const {
    const auto it = std::upper_bound(days_.begin(), days_.end(), serial);
    return (it - days_.begin()) - 1;
}

double WorkCalendarIndex::WorkDayBefore(double dtDay) const {
    const std::ptrdiff_t i = LastOnOrBefore(OleDaySerial(dtDay));
    return i < 0 ? dtDay : static_cast<double>(days_[static_cast<size_t>(i)]);
}

double WorkCalendarIndex::WorkDayAfter(double dtDay) const {
    const auto it = std::lower_bound(days_.begin(), days_.end(), OleDaySerial(dtDay));
    return it == days_.end() ? dtDay : static_cast<double>(*it);
}

double WorkCalendarIndex::WorkDay(double dtDay, Enu_Direction Direction, int32_t Interval) const {
    const std::ptrdiff_t i = LastOnOrBefore(OleDaySerial(dtDay));
    if (i < 0) return dtDay;
    const int64_t h = maxNumberSoFar_[static_cast<size_t>(i)];
    // The statements compute in 64 bits, so no interval overflows here either.
    const int64_t target = Direction == Dir_Backward ? h - Interval : h + Interval;
    if (target <= 0) return dtDay;
    if (dense_) {
        if (target > static_cast<int64_t>(days_.size())) return dtDay;
        return static_cast<double>(days_[static_cast<size_t>(target - 1)]);
    }
    if (target > INT32_MAX) return dtDay;
    const auto it =
        std::lower_bound(byNumber_.begin(), byNumber_.end(),
                         std::pair<int32_t, int32_t>{static_cast<int32_t>(target), INT32_MIN});
    if (it == byNumber_.end() || it->first != target) return dtDay;
    return static_cast<double>(it->second);
}

}  // namespace zev::component
