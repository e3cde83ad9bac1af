// RegisterSuite (Register.hpp): every suite component's factory under its ProgID.
#include "suite/Register.hpp"

#include "suite/AppConnection.hpp"
#include "suite/CalendarNotes.hpp"
#include "suite/CalendarRules.hpp"
#include "suite/DateFormatter.hpp"
#include "suite/FrmResLoader.hpp"
#include "suite/GLData.hpp"
#include "suite/LangInfo.hpp"
#include "suite/ResLoader.hpp"
#include "suite/ShareProps.hpp"
#include "suite/WorkCalGenerator.hpp"

namespace zev::suite {

void RegisterSuite() {
    RegisterShareProps();
    RegisterAppConnection();
    RegisterDateFormatter();
    RegisterResLoader();
    RegisterLangInfo();
    RegisterFrmResLoader();
    RegisterWorkCalGenerator();
    RegisterGLData();
    RegisterHistoryRecorder();
    RegisterDayNotes();
    RegisterDayRules();
}

}  // namespace zev::suite
