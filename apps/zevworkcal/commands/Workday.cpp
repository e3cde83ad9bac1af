// zevworkcal workday: the work day N work days from a date, or the answers to lines
// "DATE N [b]" of standard input from the calendar held in memory.
#include "apps/zevworkcal/commands/Commands.hpp"

#include <cctype>
#include <memory>
#include <vector>

#include "platform/automation/ComError.hpp"

namespace zev::cli::commands {

namespace {

struct WorkdayOptions {
    std::string date;
    std::string interval;
    bool backward = false;
    bool fromStdin = false;
};

// Answers "DATE N [b]" lines as WorkDay answers them.
int RunWorkdayStream(std::FILE* in, std::FILE* out) {
    const std::unique_ptr<component::clsCal> cal = OpenCalendar();
    char buffer[256];
    std::string line;
    for (long number = 1; std::fgets(buffer, sizeof buffer, in) != nullptr; ++number) {
        line = buffer;
        while (line.back() != '\n' && std::fgets(buffer, sizeof buffer, in) != nullptr) {
            line += buffer;
        }
        std::vector<std::string> fields;
        for (size_t i = 0; i < line.size();) {
            while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i])))
                ++i;
            const size_t start = i;
            while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i])))
                ++i;
            if (i > start) fields.push_back(line.substr(start, i - start));
        }
        if (fields.empty()) continue;
        try {
            if (fields.size() < 2 || fields.size() > 3 ||
                (fields.size() == 3 && fields[2] != "b")) {
                throw UsageError("expected DATE N [b]");
            }
            const double date = ParseDateArgument(fields[0]);
            const int32_t interval = ParseIntervalArgument(fields[1]);
            const component::WorkDayQuestion question{
                date, fields.size() == 3 ? component::Dir_Backward : component::Dir_Forward,
                interval};
            double answer = 0.0;
            const component::WorkDaysResult result = cal->WorkDays({&question, 1}, {&answer, 1});
            if (result.Failure) throw automation::ComError(*result.Failure);
            PrintDate(out, answer);
        } catch (const UsageError& e) {
            throw UsageError("line " + std::to_string(number) + ": " + e.what());
        }
    }
    return kOk;
}

int RunWorkday(const WorkdayOptions& o, Session& s) {
    if (o.fromStdin) {
        if (!o.date.empty() || o.backward) {
            throw UsageError("--stdin takes no DATE, N or --backward");
        }
        return RunWorkdayStream(s.in, s.out);
    }
    if (o.interval.empty()) throw UsageError("DATE and N are required");
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
