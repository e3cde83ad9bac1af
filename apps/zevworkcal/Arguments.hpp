#pragma once
// The arguments of zevworkcal as the commands read them: dates and numbers, the values
// written into the process's property string, and connection strings as shown to users.
// Pure functions; a bad argument raises UsageError.

#include <cstdint>
#include <exception>
#include <string>

namespace zev::cli {

// A command line the program cannot act on: reported in one line, exit code 2.
class UsageError : public std::exception {
  public:
    explicit UsageError(std::string message) : message_(std::move(message)) {}
    const char* what() const noexcept override { return message_.c_str(); }

  private:
    std::string message_;
};

// The options that name the database and the language, before any command.
struct GlobalOptions {
    std::string db;
    std::string odbc;
    std::string lang;
    std::string props;
};

// The database used when no option names one.
inline constexpr const char* kDefaultDatabase = "zevworkcal.db";

// A value for the property string: braced when it holds a separator.
std::string PropertyValue(const std::string& value);
// An ODBC connection string for the property string, where it is always braced: its
// value ends at the first "}", so a string holding one cannot be carried.
std::string OdbcPropertyValue(const std::string& value);
// The property string of the process: what the options name first (first match wins),
// then --props, then the default database.
std::string BuildPropsString(const GlobalOptions& options);

// A connection string as shown to the user: password values are masked.
std::string MaskPasswords(std::string text);

// DATE is YYYY-MM-DD with an optional THH:MM[:SS]; the result is an OLE date.
double ParseDateArgument(const std::string& text);
// A whole number of work days, with an optional sign.
int32_t ParseIntervalArgument(const std::string& text);

}  // namespace zev::cli
