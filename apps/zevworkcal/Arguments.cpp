// The argument helpers of zevworkcal (Arguments.hpp); nothing here touches a database.
#include "apps/zevworkcal/Arguments.hpp"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <optional>

#include "host/MMTS.hpp"
#include "platform/automation/AsciiText.hpp"
#include "platform/automation/ComError.hpp"
#include "platform/automation/OleDate.hpp"

namespace zev::cli {

using host::MMTS::LoadLocalText;

std::string PropertyValue(const std::string& value) {
    if (value.find_first_of(";={} ") == std::string::npos) return value;
    if (value.find('}') != std::string::npos) {
        throw UsageError(LoadLocalText(automation::MarkedText("值中不能含有“}”", ": " + value)));
    }
    return "{" + value + "}";
}

std::string OdbcPropertyValue(const std::string& value) {
    if (value.find('}') != std::string::npos) {
        throw UsageError(LoadLocalText(automation::MarkedText(
            "ODBC 连接串中不能含有“}”，驱动名请写成 Driver=名称，不加花括号", ": " + value)));
    }
    return "{" + value + "}";
}

std::string BuildPropsString(const GlobalOptions& o) {
    std::string props;
    if (!o.lang.empty()) props += "Language=" + PropertyValue(o.lang) + ";";
    if (!o.db.empty()) props += "Provider=SQLite;Data Source=" + PropertyValue(o.db) + ";";
    if (!o.odbc.empty()) props += "Provider=ODBC;Data Source=" + OdbcPropertyValue(o.odbc) + ";";
    props += o.props;
    if (!props.empty() && props.back() != ';') props += ";";
    props += "Provider=SQLite;Data Source=" + PropertyValue(kDefaultDatabase) + ";";
    return props;
}

std::string MaskPasswords(std::string text) {
    std::string upper = automation::UpperAscii(text);
    for (const char* key : {"PWD=", "PASSWORD="}) {
        for (size_t at = upper.find(key); at != std::string::npos; at = upper.find(key, at + 1)) {
            if (at > 0 && upper[at - 1] != ';' && upper[at - 1] != ' ') continue;
            const size_t from = at + std::strlen(key);
            size_t to = upper.find(';', from);
            if (to == std::string::npos) to = upper.size();
            text.replace(from, to - from, "***");
            upper.replace(from, to - from, "***");
        }
    }
    return text;
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
        throw UsageError(LoadLocalText(automation::MarkedText(
            "日期不对，应为 YYYY-MM-DD 或 YYYY-MM-DDTHH:MM[:SS]", ": " + text)));
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
        throw UsageError(
            LoadLocalText(automation::MarkedText("工作日数不对，应为整数", ": " + text)));
    }
    return value;
}

}  // namespace zev::cli
