// MMTS, the window font: ApplyFormFont.

#include "host/MMTS.hpp"

#include "host/MMTSCaches.hpp"
#include "platform/automation/ObjectRegistry.hpp"

namespace zev::host::MMTS {

void ApplyFormFont(IFontWindow& window) {
    Caches& c = ThreadCaches();
    if (c.LanguageCode.empty()) c.LanguageCode = GetPropsValue("Language");
    if (!c.FontLoader) {
        c.FontLoader = automation::CreateObjectAs<IFrmResLoader>(progid::kFrmResLoader);
    }
    std::string language = c.LanguageCode;
    c.FontLoader->SetFrmFont(window, language);
}

}  // namespace zev::host::MMTS
