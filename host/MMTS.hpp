#pragma once
// MMTS: the host-services module. Shared properties of the process and the connection
// property string, the localised text lookup, and the window font. Its caches (the
// language code, the text loader, the font loader) are kept per thread.

#include <string>
#include <string_view>

#include "host/SuiteInterfaces.hpp"
#include "platform/automation/Variant.hpp"

namespace zev::host::MMTS {

// The shared property `name` of this process. Failures are raised with the source
// "ZevShopRpt.MMTS.GetConnectionProperty" + CR LF + the source of the failure.
automation::Variant GetConnectionProperty(const std::string& name);
// The connection property string of the process ("PropsString").
std::string GetPropsString();
// The value of key `name` (any case) in the property string; empty when it has none or
// the string cannot be read. Never fails.
std::string GetPropsValue(std::string_view name);
// The value of key `name` in a given property string, read the same way.
std::string PropsValueOf(std::string props, std::string_view name);

// Cuts the part before the first `separator` off `text` and returns it; without a
// separator the whole text is returned and `text` becomes empty.
std::string CutToken(std::string& text, std::string_view separator);
std::string NextPropKey(std::string& text);
std::string NextPropValue(std::string& text);

// The text to show for a Chinese source text in the user's language; the source text
// itself when anything goes wrong. Keeps the caller's pending error intact.
std::string LoadLocalText(std::string_view text, int SpaceMode = 0);
// Translates the "~$~"-marked pieces of a "^|^"-separated text and joins all pieces.
std::string LoadCompoundText(std::string_view text);

// Gives the window the font of the user's language.
void ApplyFormFont(IFontWindow& window);

}  // namespace zev::host::MMTS
