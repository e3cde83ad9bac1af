// The argument helpers of zevworkcal (Arguments.hpp); nothing here touches a database.
#include "apps/zevworkcal/Arguments.hpp"

#include <algorithm>
#include <charconv>
#include <optional>

#include "platform/automation/ComError.hpp"
#include "platform/automation/OleDate.hpp"
#include "platform/automation/Utf8.hpp"
#include "suite/AppConnection.hpp"

namespace zev::cli {

std::string PropertyValue(const std::string& value) {
    if (value.find_first_of(";={} ") == std::string::npos) return value;
    if (value.find('}') != std::string::npos) {
        throw UsageError(
            automation::MarkedText("值中不能含有“}”", ": " + automation::EscapeControls(value)));
    }
    return "{" + value + "}";
}

std::string LanguageEntry(const GlobalOptions& o) {
    return o.lang.empty() ? std::string() : "Language=" + PropertyValue(o.lang) + ";";
}

std::string BuildPropsString(const GlobalOptions& o) {
    const auto named = [](const char* provider, const std::string& source) {
        if (source.empty()) throw UsageError(automation::MarkedText("数据库名不能为空"));
        return std::string("Provider=") + provider +
               ";Data Source=" + suite::PercentEncodeDataSource(source) +
               ";Data Source Encoding=Percent;";
    };
    std::string props = LanguageEntry(o);
    if (o.dbGiven) props += named("SQLite", o.db);
    if (o.odbcGiven) props += named("ODBC", o.odbc);
    props += o.props;
    if (!props.empty() && props.back() != ';') props += ";";
    props += "Provider=SQLite;Data Source=" + PropertyValue(kDefaultDatabase) + ";";
    return props;
}

double ParseDateArgument(const std::string& text) {
    auto digits = [&](size_t from, size_t count) {
        if (from + count > text.size()) return false;
        return std::all_of(text.begin() + static_cast<long>(from),
                           text.begin() + static_cast<long>(from + count),
                           [](char c) { return c >= '0' && c <= '9'; });
    };
    bool shape = text.size() >= 10 && digits(0, 4) && text[4] == '-' && digits(5, 2) &&
                 text[7] == '-' && digits(8, 2);
    if (shape && text.size() > 10) {
        shape = text[10] == 'T' && text.size() >= 16 && digits(11, 2) && text[13] == ':' &&
                digits(14, 2) &&
                (text.size() == 16 || (text.size() == 19 && text[16] == ':' && digits(17, 2)));
    }
    std::optional<double> date;
    if (shape) date = automation::ParseIsoDate(text);
    if (!date) {
        throw UsageError(
            automation::MarkedText("日期不对，应为 YYYY-MM-DD 或 YYYY-MM-DDTHH:MM[:SS]",
                                   ": " + automation::EscapeControls(text)));
    }
    return *date;
}

int32_t ParseIntervalArgument(const std::string& text) {
    int32_t value = 0;
    const char* begin = text.data();
    const char* end = text.data() + text.size();
    if (!text.empty() && *begin == '+') ++begin;
    const auto [ptr, ec] = std::from_chars(begin, end, value);
    if (text.empty() || ec != std::errc() || ptr != end) {
        throw UsageError(automation::MarkedText("工作日数不对，应为整数",
                                                ": " + automation::EscapeControls(text)));
    }
    return value;
}

}  // namespace zev::cli
