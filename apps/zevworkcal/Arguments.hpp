#pragma once
// The arguments of zevworkcal as the commands read them: dates and numbers, and the
// property string the global options make. Pure functions; a bad argument raises
// UsageError. Connection strings are masked for display by data::MaskPasswords.

#include <cstdint>
#include <exception>
#include <string>

namespace zev::cli {

// A command line the program cannot act on: reported in one line, exit code 2. The text
// is a marked text (automation::MarkedText), looked up only when it is shown, so that it
// comes in the language the command line names whenever it was raised, and so that
// "line N: " can be put in front of it.
class UsageError : public std::exception {
  public:
    explicit UsageError(std::string text, bool pointsToHelp = false)
        : text_(std::move(text)), pointsToHelp_(pointsToHelp) {}
    const char* what() const noexcept override { return text_.c_str(); }
    // Whether the report sends the user to --help (a command line CLI11 could not parse).
    bool PointsToHelp() const noexcept { return pointsToHelp_; }

  private:
    std::string text_;
    bool pointsToHelp_;
};

// The options that name the database and the language, before any command.
struct GlobalOptions {
    std::string db{};
    bool dbGiven = false;
    std::string odbc{};
    bool odbcGiven = false;
    std::string lang{};
    std::string props{};
};

// The database used when no option names one.
inline constexpr const char* kDefaultDatabase = "zevworkcal.db";

// A value for the property string: braced when it holds a separator; one holding "}"
// cannot be carried and is refused.
std::string PropertyValue(const std::string& value);
// The language entry of the property string ("" without --lang).
std::string LanguageEntry(const GlobalOptions& options);
// The property string of the process: what the options name first (first match wins),
// then --props, then the default database. The names of --db and --odbc are carried
// exactly as given, in the percent encoding of the connection object; an empty one is
// refused.
std::string BuildPropsString(const GlobalOptions& options);

// DATE is YYYY-MM-DD with an optional THH:MM[:SS]; the result is an OLE date.
double ParseDateArgument(const std::string& text);
// A whole number of work days, with an optional sign.
int32_t ParseIntervalArgument(const std::string& text);

}  // namespace zev::cli
