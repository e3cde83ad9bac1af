// The query commands' shared output (QueryOutput.hpp): the --format option, day and kind
// texts, JSON and CSV quoting, and the notice for answers outside the calendar.
#include "apps/zevworkcal/QueryOutput.hpp"

#include <map>
#include <optional>

#include "host/MMTS.hpp"
#include "platform/automation/OleDate.hpp"
#include "platform/automation/Utf8.hpp"

namespace zev::cli {

using host::MMTS::LoadLocalText;

void AddFormatOption(CLI::App& app, Format& format) {
    AddChoiceOption<Format>(app, "--format",
                            {{"text", Format::Text}, {"csv", Format::Csv}, {"json", Format::Json}},
                            format, "输出格式：text、csv 或 json（默认 text）", "FORMAT");
}

std::string IsoDay(double date) {
    return automation::FormatIsoDate(date);
}

const char* KindName(component::CalendarDay::Kind kind) {
    return kind == component::CalendarDay::Work ? "work" : "rest";
}

void AppendJsonString(std::string& out, std::string_view text) {
    out += '"';
    for (size_t i = 0; i < text.size();) {
        const automation::Utf8Character c = automation::ReadUtf8(text, i);
        if (c.CodePoint == '"' || c.CodePoint == '\\') {
            out += '\\';
            out += static_cast<char>(c.CodePoint);
        } else if (c.CodePoint == '\n') {
            out += "\\n";
        } else if (c.CodePoint == automation::kNotACharacter ||
                   automation::IsControlCharacter(c.CodePoint)) {
            // JSON is UTF-8: a byte outside it can only be shown as the replacement character.
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x",
                          c.CodePoint == automation::kNotACharacter
                              ? 0xFFFDu
                              : static_cast<unsigned>(c.CodePoint));
            out += escaped;
        } else {
            out.append(text.substr(i, c.Length));
        }
        i += c.Length;
    }
    out += '"';
}

void AppendCsvField(std::string& out, std::string_view raw) {
    const std::string text = automation::EscapeControls(raw);
    const bool quoted = text.find_first_of(",\"") != std::string::npos ||
                        (!text.empty() && (text.front() == ' ' || text.back() == ' '));
    if (!quoted) {
        out += text;
        return;
    }
    out += '"';
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

int OutsideTheCalendar(Session& s, component::clsCal& cal, std::string_view what) {
    const std::optional<component::DaySpan> span = cal.CalendarSpan();
    const std::string held = span ? LoadLocalText("工厂日历的日期") + " " + IsoDay(span->First) +
                                        " .. " + IsoDay(span->Last)
                                  : LoadLocalText("工厂日历中没有日期");
    s.out.Flush();
    std::fprintf(s.ui.ErrorStream(), "zevworkcal: %s: %s; %s\n",
                 LoadLocalText("不在工厂日历之内").c_str(), std::string(what).c_str(),
                 held.c_str());
    return kOutside;
}

int PrintAnswer(Session& s, component::clsCal& cal, const component::DayAnswer& answer,
                std::string_view what) {
    PrintDate(s.out, answer.Date);
    return answer.Found ? kOk : OutsideTheCalendar(s, cal, what);
}

}  // namespace zev::cli
