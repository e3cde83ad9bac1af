// The date formatter (DateFormatter.hpp): FormatDatePattern and its registration;
// private: the formatter object.
#include "suite/DateFormatter.hpp"

#include <cstdio>

#include "host/SuiteInterfaces.hpp"
#include "platform/automation/AsciiText.hpp"
#include "platform/automation/ObjectRegistry.hpp"
#include "platform/automation/OleDate.hpp"

namespace zev::suite {
namespace {

class DateTimeFormatInfo final : public automation::Object, public host::IDateTimeFormatInfo {
  public:
    std::string ZevDateFormat(double& date, std::string_view pattern) override {
        return FormatDatePattern(date, pattern);
    }
};

}  // namespace

std::string FormatDatePattern(double date, std::string_view pattern) {
    const automation::CivilDateTime c = automation::CivilFromOle(date);
    std::string out;
    out.reserve(pattern.size() + 4);
    size_t i = 0;
    while (i < pattern.size()) {
        const char letter = automation::UpperAscii(pattern[i]);
        int value = -1;
        switch (letter) {
            case 'Y':
                value = c.Year;
                break;
            case 'M':
                value = c.Month;
                break;
            case 'D':
                value = c.Day;
                break;
            case 'H':
                value = c.Hour;
                break;
            case 'N':
                value = c.Minute;
                break;
            case 'S':
                value = c.Second;
                break;
            default:
                break;
        }
        if (value < 0) {
            out += pattern[i++];
            continue;
        }
        size_t run = 1;
        while (i + run < pattern.size() && automation::UpperAscii(pattern[i + run]) == letter)
            ++run;
        i += run;
        if (letter == 'Y' && run == 2) value %= 100;
        char buf[16];
        std::snprintf(buf, sizeof buf, "%0*d", run == 1 ? 1 : static_cast<int>(run), value);
        out += buf;
    }
    return out;
}

void RegisterDateFormatter() {
    automation::RegisterFactory(host::progid::kDateTimeFormatInfo,
                                [] { return std::make_shared<DateTimeFormatInfo>(); });
}

}  // namespace zev::suite
