#include "apps/zevworkcal/Cli.hpp"
#include "platform/automation/AsciiText.hpp"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>

#include "component/WorkCalendarIndex.hpp"
#include "component/clsCal.hpp"
#include "component/mdlCal.hpp"
#include "host/MMTS.hpp"
#include "host/SuiteInterfaces.hpp"
#include "platform/automation/ComError.hpp"
#include "platform/automation/ObjectRegistry.hpp"
#include "platform/automation/OleDate.hpp"
#include "platform/data/OdbcConnection.hpp"
#include "platform/data/SqliteConnection.hpp"
#include "platform/ui/ConsoleUi.hpp"
#include "suite/Register.hpp"
#include "suite/Schema.hpp"
#include "suite/ShareProps.hpp"

namespace zev::cli {
namespace {

using automation::ComError;
using host::MMTS::LoadLocalText;

constexpr const char* kSource = "zevworkcal";
constexpr const char* kDefaultDatabase = "zevworkcal.db";

// The console interface, noting whether the error report showed a failure.
class CliUi final : public ui::UserInterface {
  public:
    CliUi(std::FILE* err, std::FILE* in) : console_(err, in) {}
    int MsgBox(const std::string& prompt, int buttons, const std::string& title) override {
        if ((buttons & ui::vbCritical) == ui::vbCritical) failed_ = true;
        return console_.MsgBox(prompt, buttons, title);
    }
    void SetMousePointer(int pointer) override { console_.SetMousePointer(pointer); }
    int GetMousePointer() const override { return console_.GetMousePointer(); }
    void DoEvents() override {}
    bool Failed() const { return failed_; }

  private:
    ui::ConsoleUi console_;
    bool failed_ = false;
};

struct Options {
    std::string db;
    std::string odbc;
    std::string lang;
    std::string props;
    std::string date;
    std::string interval;
    bool backward = false;
    std::string text;
    std::string endDate;
    bool saturdayWork = false;
    bool sundayWork = false;
    bool replace = false;
    bool fromStdin = false;
};

class UsageError : public std::exception {
  public:
    explicit UsageError(std::string message) : message_(std::move(message)) {}
    const char* what() const noexcept override { return message_.c_str(); }

  private:
    std::string message_;
};

// A value for the property string: braced when it holds a separator.
std::string PropertyValue(const std::string& value) {
    if (value.find_first_of(";={} ") == std::string::npos) return value;
    if (value.find('}') != std::string::npos) {
        throw UsageError(LoadLocalText(automation::MarkedText("值中不能含有“}”", ": " + value)));
    }
    return "{" + value + "}";
}

// An ODBC connection string for the property string, where it is always braced: its
// value ends at the first "}", so a string holding one cannot be carried.
std::string OdbcPropertyValue(const std::string& value) {
    if (value.find('}') != std::string::npos) {
        throw UsageError(LoadLocalText(automation::MarkedText(
            "ODBC 连接串中不能含有“}”，驱动名请写成 Driver=名称，不加花括号", ": " + value)));
    }
    return "{" + value + "}";
}

// A connection string as shown to the user: password values are masked.
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

// The property string of the process: what the options name first (first match wins),
// then --props, then the default database.
std::string BuildPropsString(const Options& o) {
    std::string props;
    if (!o.lang.empty()) props += "Language=" + PropertyValue(o.lang) + ";";
    if (!o.db.empty()) props += "Provider=SQLite;Data Source=" + PropertyValue(o.db) + ";";
    if (!o.odbc.empty()) props += "Provider=ODBC;Data Source=" + OdbcPropertyValue(o.odbc) + ";";
    props += o.props;
    if (!props.empty() && props.back() != ';') props += ";";
    props += "Provider=SQLite;Data Source=" + PropertyValue(kDefaultDatabase) + ";";
    return props;
}

// DATE is YYYY-MM-DD with an optional THH:MM[:SS].
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

void PrintDate(std::FILE* out, double date) {
    std::fprintf(out, "%s\n", automation::FormatIsoAuto(date).c_str());
}

// The database the property string names must hold the suite's tables.
void RequireSchema() {
    auto connection = automation::CreateObjectAs<data::Connection>(host::progid::kAppConnection);
    const std::vector<std::string> missing = suite::MissingTables(*connection);
    if (missing.empty()) return;
    std::string list;
    for (const std::string& t : missing)
        list += (list.empty() ? "" : ", ") + t;
    throw ComError(
        automation::errors::kUnspecified, kSource,
        automation::MarkedText("数据库中缺少工厂日历的表，请先运行 zevworkcal init", ": " + list));
}

// The first field of a one-value statement, as text ("" for NULL or no row).
std::string ScalarText(data::Connection& connection, const std::string& statement) {
    data::Recordset rs = connection.Execute(statement);
    if (rs.Eof() || rs.Fields(0).Value().IsNull()) return {};
    return automation::CStr(rs.Fields(0).Value());
}

int RunStatus(std::FILE* out) {
    RequireSchema();
    auto connection = automation::CreateObjectAs<data::Connection>(host::progid::kAppConnection);
    std::fprintf(out, "%s: %s\n", LoadLocalText("数据库").c_str(),
                 MaskPasswords(host::MMTS::GetPropsValue("Data Source")).c_str());
    const std::string first = ScalarText(*connection, "SELECT MIN(FDay) FROM t_WorkCalendar");
    if (first.empty()) {
        std::fprintf(out, "%s\n", LoadLocalText("尚未生成工厂日历").c_str());
    } else {
        const std::string last = ScalarText(*connection, "SELECT MAX(FDay) FROM t_WorkCalendar");
        const std::string work =
            ScalarText(*connection, "SELECT COUNT(*) FROM t_WorkCalendar WHERE FInterID>0");
        const std::string rest =
            ScalarText(*connection, "SELECT COUNT(*) FROM t_WorkCalendar WHERE FInterID=0");
        std::fprintf(
            out, "%s: %s .. %s, %s %s, %s %s\n", LoadLocalText("工厂日历").c_str(),
            automation::FormatIsoDate(automation::CDate(automation::Variant(first))).c_str(),
            automation::FormatIsoDate(automation::CDate(automation::Variant(last))).c_str(),
            work.c_str(), LoadLocalText("工作日").c_str(), rest.c_str(),
            LoadLocalText("休息日").c_str());
    }
    data::Recordset rs = connection->Execute(
        "SELECT FKey, FValue FROM t_SystemProfile WHERE FCategory='IC' ORDER BY FKey");
    std::string settings;
    for (; !rs.Eof(); rs.MoveNext()) {
        const automation::Variant& value = rs.Fields(1).Value();
        settings += " " + automation::CStr(rs.Fields(0).Value()) + "=" +
                    (value.IsNull() ? std::string("NULL") : automation::CStr(value));
    }
    std::fprintf(out, "%s:%s\n", LoadLocalText("设置").c_str(), settings.c_str());
    return kOk;
}

int RunGenerate(const Options& o, std::FILE* out) {
    double start = ParseDateArgument(o.date);
    double end = ParseDateArgument(o.endDate);
    RequireSchema();
    if (!o.replace) {
        auto connection =
            automation::CreateObjectAs<data::Connection>(host::progid::kAppConnection);
        if (!ScalarText(*connection, "SELECT MIN(FDay) FROM t_WorkCalendar").empty()) {
            throw UsageError(
                LoadLocalText("工厂日历已经存在；要重新生成并丢弃其中的置换，请加 --replace"));
        }
    }
    automation::VBool satNotWork = automation::ToVBool(!o.saturdayWork);
    automation::VBool sunNotWork = automation::ToVBool(!o.sundayWork);
    std::string errorText;
    auto generator = automation::CreateObjectAs<host::IWorkCal>(host::progid::kWorkCal);
    const automation::Variant ok = generator->InitCal(host::MMTS::GetPropsString(), start, end,
                                                      satNotWork, sunNotWork, errorText);
    if (!automation::CBool(ok)) {
        throw ComError(automation::errors::kUnspecified, host::progid::kWorkCal.data(), errorText);
    }
    std::fprintf(out, "%s\n", LoadLocalText("工厂日历已生成").c_str());
    return kOk;
}

// Answers "DATE N [b]" lines from the calendar held in memory, reloading it whenever
// the database has changed since the last answer.
int RunWorkdayStream(std::FILE* in, std::FILE* out) {
    RequireSchema();
    component::WorkCalendarIndex index(
        automation::CreateObjectAs<data::Connection>(host::progid::kAppConnection));
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
            index.Refresh();
            PrintDate(out, index.WorkDay(date,
                                         fields.size() == 3 ? component::Dir_Backward
                                                            : component::Dir_Forward,
                                         interval));
        } catch (const UsageError& e) {
            throw UsageError("line " + std::to_string(number) + ": " + e.what());
        }
    }
    return kOk;
}

int RunInit(const Options& o, std::FILE* out) {
    if (!o.odbc.empty()) {
        auto connection = data::OpenOdbc(o.odbc);
        suite::InitDatabase(*connection);
        std::fprintf(out, "%s\n",
                     LoadLocalText(
                         automation::MarkedText("已建立工厂日历的表", ": " + MaskPasswords(o.odbc)))
                         .c_str());
        return kOk;
    }
    const std::string path = o.db.empty() ? kDefaultDatabase : o.db;
    auto connection = data::OpenSqlite(path, data::OpenMode::Create);
    suite::InitDatabase(*connection);
    std::fprintf(out, "%s\n",
                 LoadLocalText(automation::MarkedText("已建立工厂日历的表", ": " + path)).c_str());
    return kOk;
}

}  // namespace

int Run(const std::vector<std::string>& args, std::FILE* out, std::FILE* err, std::FILE* in) {
    static std::once_flag registered;
    std::call_once(registered, [] { suite::RegisterSuite(); });

    auto cliUi = std::make_shared<CliUi>(err, in);
    const ui::ScopedUserInterface useConsole(cliUi);

    Options o;
    CLI::App app{"ZevWorkCal: the factory calendar", "zevworkcal"};
    app.option_defaults()->always_capture_default(false);
    auto* dbOption = app.add_option("--db", o.db, "SQLite database file (default ./zevworkcal.db)");
    app.add_option("--odbc", o.odbc, "ODBC connection string of a database server")
        ->excludes(dbOption);
    app.add_option("--lang", o.lang, "language code of the texts, for example en");
    app.add_option("--props", o.props, "more entries of the connection property string");
    app.require_subcommand(1);

    auto* init = app.add_subcommand("init", "create the calendar's tables in a new database");
    auto* text = app.add_subcommand("text", "print the text shown for a source text");
    text->add_option("TEXT", o.text, "source text")->required();
    auto* before = app.add_subcommand("before", "the last work day on or before DATE");
    before->add_option("DATE", o.date, "YYYY-MM-DD[THH:MM[:SS]]")->required();
    auto* after = app.add_subcommand("after", "the first work day on or after DATE");
    after->add_option("DATE", o.date, "YYYY-MM-DD[THH:MM[:SS]]")->required();
    auto* workday = app.add_subcommand("workday", "the work day N work days from DATE");
    workday->add_option("DATE", o.date, "YYYY-MM-DD[THH:MM[:SS]]");
    workday->add_option("N", o.interval, "number of work days (may be negative)");
    workday->add_flag("--backward", o.backward, "count towards earlier days");
    workday->add_flag("--stdin", o.fromStdin,
                      "answer the lines 'DATE N [b]' of standard input, b for backward");

    auto* status = app.add_subcommand("status", "the calendar's days and settings");
    auto* generate =
        app.add_subcommand("generate", "generate the calendar from START up to the day before END");
    generate->add_option("START", o.date, "first day, YYYY-MM-DD")->required();
    generate->add_option("END", o.endDate, "the day after the last day, YYYY-MM-DD")->required();
    generate->add_flag("--saturday-work", o.saturdayWork, "Saturdays are work days");
    generate->add_flag("--sunday-work", o.sundayWork, "Sundays are work days");
    generate->add_flag("--replace", o.replace, "replace a calendar that exists");

    try {
        std::vector<std::string> reversed(args.rbegin(), args.rend());
        app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        std::fprintf(out, "%s", app.help().c_str());
        return kOk;
    } catch (const CLI::ParseError& e) {
        std::string message = e.what();
        // Name an unknown command plainly instead of CLI11's general complaint.
        for (size_t i = 0; i < args.size(); ++i) {
            const std::string& a = args[i];
            if (a == "--db" || a == "--lang" || a == "--props" || a == "--odbc") {
                ++i;
                continue;
            }
            if (a.rfind("-", 0) == 0) continue;
            bool known = false;
            for (const CLI::App* sub : app.get_subcommands({}))
                known |= sub->get_name() == a;
            if (!known) message = "unknown command: " + a;
            break;
        }
        std::replace(message.begin(), message.end(), '\n', ' ');
        std::fprintf(err, "zevworkcal: %s (see zevworkcal --help)\n", message.c_str());
        return kUsage;
    }

    try {
        suite::SetProcessProperty("PropsString", BuildPropsString(o));
        if (init->parsed()) return RunInit(o, out);
        if (text->parsed()) {
            std::fprintf(out, "%s\n", LoadLocalText(o.text, 0).c_str());
            return kOk;
        }
        if (status->parsed()) return RunStatus(out);
        if (generate->parsed()) return RunGenerate(o, out);
        if (workday->parsed() && o.fromStdin) {
            if (!o.date.empty() || o.backward) {
                throw UsageError("--stdin takes no DATE, N or --backward");
            }
            return RunWorkdayStream(in, out);
        }
        if (workday->parsed() && o.interval.empty()) throw UsageError("DATE and N are required");
        const double date = ParseDateArgument(o.date);
        const int32_t interval = workday->parsed() ? ParseIntervalArgument(o.interval) : 0;
        RequireSchema();
        component::clsCal cal;
        cal.ActiveConnection("");
        if (before->parsed()) PrintDate(out, cal.WorkDayBefore(date));
        if (after->parsed()) PrintDate(out, cal.WorkDayAfter(date));
        if (workday->parsed()) {
            const double result = cal.WorkDay(
                date, o.backward ? component::Dir_Backward : component::Dir_Forward, interval);
            // The member shows its own failures; the command then fails too.
            if (cliUi->Failed()) return kFailure;
            PrintDate(out, result);
        }
        return kOk;
    } catch (const UsageError& e) {
        std::fprintf(err, "zevworkcal: %s\n", e.what());
        return kUsage;
    } catch (...) {
        automation::Err() = automation::CurrentExceptionAsError().Info();
        component::mdlCal::ShowError();
        automation::ClearErr();
        return kFailure;
    }
}

}  // namespace zev::cli
