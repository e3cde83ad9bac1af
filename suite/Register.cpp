#include "suite/Register.hpp"

#include "suite/AppConnection.hpp"
#include "suite/DateFormatter.hpp"
#include "suite/ShareProps.hpp"
#include "suite/WorkCalGenerator.hpp"

namespace zev::suite {

void RegisterSuite() {
    RegisterShareProps();
    RegisterAppConnection();
    RegisterDateFormatter();
    RegisterWorkCalGenerator();
}

}  // namespace zev::suite
