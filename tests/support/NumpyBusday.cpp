// ModelCalendar::Write and AskNumpy (NumpyBusday.hpp): the rows, and numpy_busday.py run
// with the questions in JSON, its answers read line by line.
#include "tests/support/NumpyBusday.hpp"

#include <gtest/gtest.h>

#include <sstream>

#include "platform/automation/OleDate.hpp"
#include "tests/support/Subprocess.hpp"

#ifndef ZEV_NUMPY_BUSDAY
#error "ZEV_NUMPY_BUSDAY names tests/support/numpy_busday.py"
#endif

namespace zev::test {

namespace {

constexpr int kMargin = 60;

std::string Quoted(double day) {
    return "\"" + automation::FormatIsoDate(day) + "\"";
}

double Day(const std::string& text) {
    const std::optional<double> date = automation::ParseIsoDate(text);
    if (!date) ADD_FAILURE() << "numpy answered no date: " << text;
    return date.value_or(0.0);
}

std::string QuestionText(const ModelCalendar& calendar, const NumpyQuestions& q) {
    std::string json = "{\"holidays\":[";
    bool first = true;
    for (double d = calendar.First - kMargin; d <= calendar.Last() + kMargin; ++d) {
        if (calendar.Holds(d) && calendar.Kinds[static_cast<size_t>(d - calendar.First)] == 'w') {
            continue;
        }
        json += (first ? "" : ",") + Quoted(d);
        first = false;
    }
    const size_t work = calendar.Kinds.find('w');
    json += "],\"first\":" + Quoted(calendar.First + static_cast<double>(work)) + ",\"pairs\":[";
    for (size_t i = 0; i < q.Pairs.size(); ++i)
        json += (i ? ",[" : "[") + Quoted(q.Pairs[i].first) + "," + Quoted(q.Pairs[i].second) + "]";
    json += "],\"days\":[";
    for (size_t i = 0; i < q.Days.size(); ++i)
        json += (i ? "," : "") + Quoted(q.Days[i]);
    json += "],\"offsets\":[";
    for (size_t i = 0; i < q.Offsets.size(); ++i) {
        json += (i ? ",[" : "[") + Quoted(q.Offsets[i].first) + "," +
                std::to_string(q.Offsets[i].second) + "]";
    }
    return json + "]}";
}

}  // namespace

void ModelCalendar::Write(data::Connection& connection) const {
    std::string batch = "DELETE FROM t_WorkCalendar";
    int number = 0;
    for (size_t i = 0; i < Kinds.size(); ++i) {
        batch += "\r\nINSERT INTO t_WorkCalendar(FInterID,FDay) VALUES (" +
                 std::to_string(Kinds[i] == 'w' ? ++number : 0) + ",'" +
                 automation::FormatIsoDate(First + static_cast<double>(i)) + "')";
    }
    connection.Execute(batch);
}

NumpyAnswers AskNumpy(const ModelCalendar& calendar, const NumpyQuestions& questions) {
    const ProcessResult r =
        RunProcess("/usr/bin/python3", {ZEV_NUMPY_BUSDAY}, QuestionText(calendar, questions));
    NumpyAnswers answers;
    if (r.exitCode != 0) {
        ADD_FAILURE() << "numpy_busday.py: " << r.err;
        return answers;
    }
    std::istringstream in(r.out);
    for (size_t i = 0; i < questions.Pairs.size(); ++i) {
        int count = 0;
        in >> count;
        answers.Counts.push_back(count);
    }
    for (size_t i = 0; i < questions.Days.size(); ++i) {
        int business = 0;
        int number = 0;
        in >> business >> number;
        answers.Days.emplace_back(business == 1, number);
    }
    for (size_t i = 0; i < questions.Offsets.size(); ++i) {
        std::string roll, after, result;
        in >> roll >> after >> result;
        answers.Offsets.push_back({Day(roll), Day(after), Day(result)});
    }
    if (in.fail()) ADD_FAILURE() << "numpy answered too little: " << r.out;
    return answers;
}

}  // namespace zev::test
