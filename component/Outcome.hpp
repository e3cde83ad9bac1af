#pragma once
// What one of the planner's operations came to, as a value: done, nothing done, refused
// by a rule of the calendar (with the text that says why), or failed (with its error).
// The window shows it (mdlCal::ShowOutcome) and the command line turns it into its exit
// code, so that nobody reads an operation's result back from the controls.

#include <string>
#include <utility>

#include "platform/automation/ComError.hpp"

namespace zev::component {

class Outcome {
  public:
    enum class Kind {
        Done,       // the operation did what it was asked
        Unchanged,  // nothing to do, or the planner chose to stay: nothing changed or shown
        Refused,    // a rule refused it before anything changed
        Failed,     // an error stopped it
    };

    static Outcome Done() { return Outcome(Kind::Done); }
    static Outcome Unchanged() { return Outcome(Kind::Unchanged); }
    // `text` is a source text, looked up when shown; `detail` follows it as it is (a day,
    // a name), so that a refusal can name what it refuses.
    static Outcome Refused(std::string text, std::string detail = {}) {
        Outcome o(Kind::Refused);
        o.text_ = std::move(text);
        o.detail_ = std::move(detail);
        return o;
    }
    // Shown through the error report.
    static Outcome Failed(automation::ErrorInfo error) {
        Outcome o(Kind::Failed);
        o.error_ = std::move(error);
        return o;
    }
    // The failure being handled; call only inside a catch block.
    static Outcome FailedNow() { return Failed(automation::CurrentExceptionAsError().Info()); }
    // A failure that another component reported in its own words (the generator's error
    // text): shown as it gave them, not looked up.
    static Outcome FailedSaying(std::string words) {
        Outcome o(Kind::Failed);
        o.text_ = std::move(words);
        o.ownWords_ = true;
        return o;
    }

    Kind What() const { return kind_; }
    bool IsDone() const { return kind_ == Kind::Done; }
    // Refused: the source text; failed in its own words: the words.
    const std::string& Text() const { return text_; }
    // Refused: what follows the looked-up text.
    const std::string& Detail() const { return detail_; }
    // Failed, not in its own words: the error.
    const automation::ErrorInfo& Error() const { return error_; }
    bool InOwnWords() const { return ownWords_; }

  private:
    explicit Outcome(Kind kind) : kind_(kind) {}

    Kind kind_;
    std::string text_;
    std::string detail_;
    automation::ErrorInfo error_;
    bool ownWords_ = false;
};

}  // namespace zev::component
