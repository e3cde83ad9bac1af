// zevworkcal workday: the work day N work days from a date, or the answers to lines
// "DATE N [b]" of standard input from the calendar held in memory.
#include "apps/zevworkcal/commands/Commands.hpp"

#include <cctype>
#include <memory>
#include <vector>

#include "apps/zevworkcal/InputLines.hpp"
#include "component/WorkCalendarIndex.hpp"
#include "platform/automation/ComError.hpp"

namespace zev::cli::commands {

namespace {

struct WorkdayOptions {
    std::string date;
    std::string interval;
    bool backward = false;
    bool fromStdin = false;
};

std::vector<std::string_view> Fields(std::string_view line) {
    std::vector<std::string_view> fields;
    const auto blank = [&](size_t i) { return std::isspace(static_cast<unsigned char>(line[i])); };
    for (size_t i = 0; i < line.size();) {
        while (i < line.size() && blank(i))
            ++i;
        const size_t start = i;
        while (i < line.size() && !blank(i))
            ++i;
        if (i > start) fields.push_back(line.substr(start, i - start));
    }
    return fields;
}

// The answer to one line "DATE N [b]".
double Answer(component::WorkCalendarIndex& index, const std::vector<std::string_view>& fields) {
    if (fields.size() < 2 || fields.size() > 3 || (fields.size() == 3 && fields[2] != "b")) {
        throw UsageError(automation::MarkedText("每行应为 DATE N [b]"));
    }
    const double date = ParseDateArgument(std::string(fields[0]));
    const int32_t interval = ParseIntervalArgument(std::string(fields[1]));
    index.Refresh();
    return index.WorkDay(
        date, fields.size() == 3 ? component::Dir_Backward : component::Dir_Forward, interval);
}

// Answers "DATE N [b]" lines from the calendar held in memory, reloading it whenever the
// database has changed since the last answer. The answers go out before each wait for
// more input, so a caller may ask one question at a time.
int RunWorkdayStream(Session& s) {
    RequireSchema();
    component::WorkCalendarIndex index(AppConnection());
    InputLines lines(fileno(s.in), [&s] { s.out.Flush(); });
    while (const std::optional<std::string_view> line = lines.Next()) {
        const std::vector<std::string_view> fields = Fields(*line);
        if (fields.empty()) continue;
        try {
            PrintDate(s.out, Answer(index, fields));
        } catch (const UsageError& e) {
            throw LineUsageError(lines.Number(), e.what());
        }
    }
    return kOk;
}

int RunWorkday(const WorkdayOptions& o, Session& s) {
    if (o.fromStdin) {
        if (!o.date.empty() || o.backward) {
            throw UsageError(automation::MarkedText("--stdin 不接受 DATE、N 或 --backward"));
        }
        return RunWorkdayStream(s);
    }
    if (o.interval.empty()) throw UsageError(automation::MarkedText("需要 DATE 和 N"));
    const double date = ParseDateArgument(o.date);
    const int32_t interval = ParseIntervalArgument(o.interval);
    const double result = OpenCalendar()->WorkDay(
        date, o.backward ? component::Dir_Backward : component::Dir_Forward, interval);
    // The member shows its own failures; the command then fails too.
    if (s.ui.Failed()) return kFailure;
    PrintDate(s.out, result);
    return kOk;
}

}  // namespace

Command Workday(CLI::App& program) {
    auto o = std::make_shared<WorkdayOptions>();
    CLI::App* app = program.add_subcommand("workday", "the work day N work days from DATE");
    app->add_option("DATE", o->date, "YYYY-MM-DD[THH:MM[:SS]]");
    app->add_option("N", o->interval, "number of work days (may be negative)");
    app->add_flag("--backward", o->backward, "count towards earlier days");
    app->add_flag("--stdin", o->fromStdin,
                  "answer the lines 'DATE N [b]' of standard input, b for backward");
    return {app, [o](Session& s) { return RunWorkday(*o, s); }};
}

}  // namespace zev::cli::commands
