#pragma once
// What the component calls on the suite's components. Each is an automation object
// created by its ProgID; the suite registers implementations, tests replace them.
// Arguments that the suite's members take by reference are references here too.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/automation/Object.hpp"
#include "platform/automation/Variant.hpp"

namespace zev::data {
class Connection;
}

namespace zev::host {

using automation::Variant;
using automation::VBool;

namespace progid {
// The database connection; it is a data::Connection.
inline constexpr std::string_view kAppConnection = "ZevConnection.AppConnection";
inline constexpr std::string_view kDateTimeFormatInfo = "ZevCultureInfo.ZevDateTimeFormatInfo";
inline constexpr std::string_view kWorkCal = "ZevMPlanWorkCal.WorkCal";
inline constexpr std::string_view kGLData = "VORUROduv.GLData";
inline constexpr std::string_view kResLoader = "ZevResLoader.Loader";
inline constexpr std::string_view kLangInfo = "ZevLangInfo.LangInfo";
inline constexpr std::string_view kShareProps = "PropsMgr.ShareProps";
inline constexpr std::string_view kFrmResLoader = "FrmRes.FrmResLoader";
inline constexpr std::string_view kDayNotes = "ZevWorkCal.DayNotes";
inline constexpr std::string_view kDayRules = "ZevWorkCal.DayRules";
}  // namespace progid

// Date formatter.
class IDateTimeFormatInfo {
  public:
    virtual ~IDateTimeFormatInfo() = default;
    // Formats `date` with a pattern such as "YYYY-MM-DD".
    virtual std::string ZevDateFormat(double& date, std::string_view pattern) = 0;
};

// Calendar generator.
class IWorkCal {
  public:
    virtual ~IWorkCal() = default;
    // Writes the calendar from `startDay` up to the day before `endDay`; the result reads
    // as a Boolean, true for success, and `errorText` holds the reason of a failure.
    virtual Variant InitCal(std::string propsString, double& startDay, double& endDay,
                            VBool& satNotWork, VBool& sunNotWork, std::string& errorText) = 0;
};

// The notes of the calendar's days. Every call works on the connection it is given,
// inside whatever transaction the caller holds there.
class IDayNotes {
  public:
    virtual ~IDayNotes() = default;
    // Whether the database keeps notes (has the note table).
    virtual bool HasNotes(data::Connection& connection) = 0;
    // The notes of the days from `from`'s up to the day before `to`'s, in date order, each
    // with its day at midnight; none on a database without notes.
    virtual std::vector<std::pair<double, std::string>> Notes(data::Connection& connection,
                                                              double from, double to) = 0;
    // What SetNote came to.
    enum class Written { Changed, Unchanged, Refused };
    // Gives `day` the note `text` (an empty text removes it). Refused, with nothing
    // written and the reason in `refusal` (a source text) and `detail`, as the note store
    // refuses a note.
    virtual Written SetNote(data::Connection& connection, double day, const std::string& text,
                            std::string& refusal, std::string& detail) = 0;
};

// The calendar's recurring rules, as far as a window asks about them.
class IDayRules {
  public:
    virtual ~IDayRules() = default;
    // How many days from `from`'s to `to`'s (both included) the stored rules would turn:
    // those on which their kind differs from `rests(day)` (the day by OleDaySerial;
    // nullopt for a day the calendar does not hold); none on a database without rules.
    virtual size_t DaysToTurn(data::Connection& connection, double from, double to,
                              const std::function<std::optional<bool>(int32_t)>& rests) = 0;
};

// Access checker.
class IGLData {
  public:
    virtual ~IGLData() = default;
    virtual VBool AccessCheck(int32_t a, int32_t b, int32_t c) = 0;
};

// Text resource loader.
class IResLoader {
  public:
    virtual ~IResLoader() = default;
    virtual std::string GetResFileBaseName() = 0;
    virtual void SetResFileBaseName(const std::string& name) = 0;
    virtual std::string GetLanguageID() = 0;
    virtual void SetLanguageID(const std::string& language) = 0;
    virtual std::string LoadString(std::string& key) = 0;
};

// Language information.
class ILangInfo {
  public:
    virtual ~ILangInfo() = default;
    virtual Variant CurrentLanguage() = 0;
};

// Per-process shared property manager.
class IShareProps {
  public:
    virtual ~IShareProps() = default;
    // The property's value, or an object reference.
    virtual Variant GetProperty(int32_t& processId, std::string& name) = 0;
};

// The font record of a window: family, size in points, character set, weight.
struct FormFont {
    std::string Name = "宋体";
    double Size = 9.0;
    int Charset = 134;
    bool Bold = false;

    bool operator==(const FormFont&) const = default;
};

// A window whose fonts the window-font loader sets.
class IFontWindow {
  public:
    virtual ~IFontWindow() = default;
    virtual FormFont& WindowFont() = 0;
};

// Window-font loader.
class IFrmResLoader {
  public:
    virtual ~IFrmResLoader() = default;
    virtual Variant SetFrmFont(IFontWindow& window, std::string& language) = 0;
};

}  // namespace zev::host
