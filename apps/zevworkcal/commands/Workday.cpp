// zevworkcal workday: the work day N work days from a date, or the answers to lines
// "DATE N [b]" of standard input, a block of lines at a time.
#include "apps/zevworkcal/commands/Commands.hpp"

#include <charconv>
#include <cstdio>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "apps/zevworkcal/InputLines.hpp"
#include "apps/zevworkcal/QueryOutput.hpp"
#include "component/mdlCal.hpp"
#include "host/MMTS.hpp"
#include "platform/automation/ComError.hpp"
#include "platform/automation/OleDate.hpp"
#include "platform/automation/Utf8.hpp"

namespace zev::cli::commands {

namespace {

struct WorkdayOptions {
    std::string date;
    std::string interval;
    bool backward = false;
    bool fromStdin = false;
};

// The blanks of std::isspace in the C locale, which the program never leaves.
bool IsBlank(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// DATE as ParseDateArgument reads it: the plain form "YYYY-MM-DD" without building a
// string, any other through ParseDateArgument, which names what is wrong.
double LineDate(std::string_view text) {
    if (const auto day = automation::ParseIsoDay(text)) return automation::OleFromDay(*day);
    return ParseDateArgument(std::string(text));
}

// N as ParseIntervalArgument reads it.
int32_t LineInterval(std::string_view text) {
    const char* begin = text.data();
    const char* end = text.data() + text.size();
    if (!text.empty() && *begin == '+') ++begin;
    int32_t value = 0;
    const auto [ptr, ec] = std::from_chars(begin, end, value);
    if (text.empty() || ec != std::errc() || ptr != end) {
        return ParseIntervalArgument(std::string(text));
    }
    return value;
}

// The question of one line "DATE N [b]"; std::nullopt for a blank line.
std::optional<component::WorkDayQuestion> LineQuestion(std::string_view line) {
    std::string_view fields[3];
    size_t count = 0;
    for (size_t i = 0; i < line.size();) {
        while (i < line.size() && IsBlank(line[i]))
            ++i;
        const size_t start = i;
        while (i < line.size() && !IsBlank(line[i]))
            ++i;
        if (i > start && count++ < 3) fields[count - 1] = line.substr(start, i - start);
    }
    if (count == 0) return std::nullopt;
    if (count < 2 || count > 3 || (count == 3 && fields[2] != "b")) {
        throw UsageError(automation::MarkedText("每行应为 DATE N [b]"));
    }
    return component::WorkDayQuestion{LineDate(fields[0]),
                                      count == 3 ? component::Dir_Backward : component::Dir_Forward,
                                      LineInterval(fields[1])};
}

// Appends a date answer and its line end as PrintDate writes them.
void AppendDate(std::string& out, double date) {
    const std::optional<int32_t> serial = automation::TryOleDaySerial(date);
    if (serial && date == *serial) {
        automation::AppendIsoDate(out, automation::DayOfSerial(*serial));
    } else {
        out += automation::FormatIsoAuto(date);
    }
    out += '\n';
}

// The worse of two exit codes of a stream: a failure, then a bad line, then an answer
// outside the calendar.
int Worse(int a, int b) {
    const auto rank = [](int code) {
        return code == kFailure ? 3 : code == kUsage ? 2 : code == kOutside ? 1 : 0;
    };
    return rank(b) > rank(a) ? b : a;
}

// Answers "DATE N [b]" lines a block at a time: the lines read are collected until more
// input has to be read, which may wait; then one WorkDays call answers them, asking the
// database's change stamp once, so a change committed before a block was read is seen by
// all its answers, and the answers go out before the read. A caller may ask one line at
// a time: every input line gets exactly one output line, in order. A blank line gets an
// empty one; a line that is no question, or whose answer fails, gets "! " and the
// complaint (which also goes to standard error), and the stream goes on. An answer that
// is the date asked because the calendar has no such work day is followed by " ?". The
// run ends with the worst that happened: kFailure, kUsage, kOutside or kOk.
int RunWorkdayStream(Session& s) {
    const std::unique_ptr<component::clsCal> cal = OpenCalendar();
    std::vector<component::WorkDayQuestion> questions;
    std::vector<double> answers;
    std::vector<uint8_t> found;
    std::string text;
    size_t outside = 0;
    size_t answered = 0;
    int worst = kOk;
    // A line that gets no answer: its mark on standard output, the complaint on standard
    // error (a failure as the error report shows it).
    const auto complain = [&](const std::string& shown, int code) {
        worst = Worse(worst, code);
        s.out.Line("! " + shown);
        if (code == kUsage) std::fprintf(s.ui.ErrorStream(), "zevworkcal: %s\n", shown.c_str());
    };
    const auto answerBlock = [&] {
        size_t done = 0;
        while (done < questions.size()) {
            const std::span<const component::WorkDayQuestion> rest =
                std::span(questions).subspan(done);
            answers.resize(rest.size());
            found.resize(rest.size());
            const component::WorkDaysResult result = cal->WorkDays(rest, answers, found);
            text.clear();
            for (size_t i = 0; i < result.Answered; ++i) {
                AppendDate(text, answers[i]);
                if (found[i] == 0) {
                    text.insert(text.size() - 1, " ?");
                    ++outside;
                }
            }
            answered += result.Answered;
            done += result.Answered;
            s.out.Write(text);
            if (!result.Failure) break;
            // The failed question gets its line; the ones after it are asked again.
            complain(
                automation::EscapeControls(host::MMTS::LoadLocalText(result.Failure->Description)),
                kFailure);
            automation::Err() = *result.Failure;
            component::mdlCal::ShowError();
            automation::ClearErr();
            ++done;
        }
        questions.clear();
    };
    InputLines lines(fileno(s.in), [&] {
        answerBlock();
        s.out.Flush();
    });
    for (;;) {
        std::optional<std::string_view> line;
        try {
            line = lines.Next();
        } catch (const UsageError& e) {
            answerBlock();
            complain(host::MMTS::LoadLocalText(e.what()), kUsage);
            continue;
        }
        if (!line) break;
        try {
            if (const auto question = LineQuestion(*line)) {
                questions.push_back(*question);
                continue;
            }
            answerBlock();
            s.out.Line("");
        } catch (const UsageError& e) {
            answerBlock();
            complain(host::MMTS::LoadLocalText(LineUsageError(lines.Number(), e.what()).what()),
                     kUsage);
        }
    }
    answerBlock();
    if (outside == 0) return worst;
    return Worse(
        worst, OutsideTheCalendar(s, *cal,
                                  std::to_string(outside) + " / " + std::to_string(answered) + " " +
                                      host::MMTS::LoadLocalText("个回答，标有 ?")));
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
    const std::unique_ptr<component::clsCal> cal = OpenCalendar();
    const component::DayAnswer answer = cal->WorkDayAnswer(
        date, o.backward ? component::Dir_Backward : component::Dir_Forward, interval);
    // The member shows its own failures; the command then fails too.
    if (s.ui.Failed()) return kFailure;
    return PrintAnswer(s, *cal, answer,
                       o.date + " " + o.interval + (o.backward ? " --backward" : ""));
}

}  // namespace

Command Workday(CLI::App& program) {
    auto o = std::make_shared<WorkdayOptions>();
    CLI::App* app = program.add_subcommand(
        "workday", "从 DATE 起第 N 个工作日；或用 --stdin 回答标准输入中的每一行");
    app->add_option("DATE", o->date, "日期 YYYY-MM-DD，可带时间 THH:MM[:SS]");
    app->add_option("N", o->interval, "工作日的个数（可以为负）");
    app->add_flag("--backward", o->backward, "向更早的日子数");
    app->add_flag("--stdin", o->fromStdin, "回答标准输入中形如 DATE N [b] 的行，b 表示向前数");
    return {app,
            [o](Session& s) { return RunWorkday(*o, s); },
            "workday 2026-12-11 1",
            {{kOutside, "工厂日历中没有这个工作日，答案是 DATE 本身（流中的行标有 ?）"}}};
}

}  // namespace zev::cli::commands
