#pragma once
// Errors in the automation model: a number, a source, a description, a help file and a
// help context. Every failure the component sees or raises is a ComError; the pending
// error of the calling thread (Err) is what error reports and the text lookup read.

#include <cstdint>
#include <exception>
#include <string>
#include <string_view>

namespace zev::automation {

struct ErrorInfo {
    int32_t Number = 0;
    std::string Source;
    std::string Description;
    std::string HelpFile;
    int32_t HelpContext = 0;

    bool operator==(const ErrorInfo&) const = default;
};

// Run-time error numbers the component depends on.
namespace errors {
inline constexpr int32_t kOverflow = 6;
inline constexpr int32_t kOutOfMemory = 7;
inline constexpr int32_t kTypeMismatch = 13;
inline constexpr int32_t kInvalidProcedureCall = 5;
inline constexpr int32_t kInternalError = 51;
inline constexpr int32_t kObjectNotSet = 91;
inline constexpr int32_t kInvalidUseOfNull = 94;
inline constexpr int32_t kInvalidPropertyValue = 380;
inline constexpr int32_t kReadOnlyProperty = 383;
inline constexpr int32_t kWriteOnlyProperty = 394;
inline constexpr int32_t kFormAlreadyShown = 400;
inline constexpr int32_t kCannotCreateObject = 429;
inline constexpr int32_t kNoSuchInterface = 430;
inline constexpr int32_t kNoSuchMember = 438;
inline constexpr int32_t kWrongArgCount = 450;
inline constexpr int32_t kNoCurrentRecord = 3021;
inline constexpr int32_t kItemNotFound = 3265;
inline constexpr int32_t kObjectClosed = 3704;
// HRESULT-style numbers used by the data layer and the component's own failures.
inline constexpr int32_t kUnspecified = static_cast<int32_t>(0x80004005u);
inline constexpr int32_t kNotImplemented = static_cast<int32_t>(0x80004001u);
inline constexpr int32_t kCommandFailed = static_cast<int32_t>(0x80040E14u);
}  // namespace errors

// The source that run-time errors raised by this component's own code carry.
inline constexpr const char* kRuntimeSource = "ZevWorkCal";

class ComError : public std::exception {
  public:
    explicit ComError(ErrorInfo info) : info_(std::move(info)) {}
    ComError(int32_t number, std::string source, std::string description)
        : info_{number, std::move(source), std::move(description), {}, 0} {}

    const ErrorInfo& Info() const noexcept { return info_; }
    int32_t Number() const noexcept { return info_.Number; }
    const std::string& Source() const noexcept { return info_.Source; }
    const std::string& Description() const noexcept { return info_.Description; }
    const char* what() const noexcept override { return info_.Description.c_str(); }

  private:
    ErrorInfo info_;
};

// The standard description of a run-time error number ("" when it has none).
const char* StandardDescription(int32_t number);

// Builds the run-time error `number` with its standard description.
ComError RuntimeError(int32_t number, std::string source = kRuntimeSource);
[[noreturn]] void Raise(int32_t number, std::string source = kRuntimeSource);

// Turns whatever exception is being handled into a ComError, so that a handler that
// reports failures never lets a foreign exception escape: std::bad_alloc becomes 7, any
// other exception 51 with its message. Call only inside a catch block.
ComError CurrentExceptionAsError();

// A message for users whose fixed part is a source text of the translation catalogue and
// whose rest (a file name, an engine message) is shown as it stands. It is written in
// the compound form the text lookup reads, so whoever shows a description passes it
// through the lookup.
std::string MarkedText(std::string_view key, std::string_view rest = {});
// Two texts, plain or marked, as one text that the lookup reads piece by piece.
std::string JoinMarkedTexts(std::string_view first, std::string_view second);

// The pending error of the calling thread. Handlers store what they caught here before
// they report it; reading, saving (copying) and restoring are plain value operations.
ErrorInfo& Err();
inline void ClearErr() {
    Err() = ErrorInfo{};
}

// Restores the pending error of the thread when it goes out of scope.
class PendingErrorGuard {
  public:
    PendingErrorGuard() : saved_(Err()) {}
    ~PendingErrorGuard() { Err() = std::move(saved_); }
    PendingErrorGuard(const PendingErrorGuard&) = delete;
    PendingErrorGuard& operator=(const PendingErrorGuard&) = delete;

  private:
    ErrorInfo saved_;
};

}  // namespace zev::automation
