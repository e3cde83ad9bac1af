// The window-font loader (FrmResLoader.hpp): the font for a language and its
// registration; private: the loader object.
#include "suite/FrmResLoader.hpp"

#include <string>

#include "platform/automation/ObjectRegistry.hpp"

namespace zev::suite {
namespace {

// Character-set numbers as window fonts carry them.
constexpr int kAnsiCharset = 0;
constexpr int kShiftJisCharset = 128;
constexpr int kHangulCharset = 129;
constexpr int kGb2312Charset = 134;
constexpr int kBig5Charset = 136;
constexpr int kGreekCharset = 161;
constexpr int kTurkishCharset = 162;
constexpr int kRussianCharset = 204;

constexpr double kPointSize = 9.0;

std::string Lower(std::string_view s) {
    std::string out;
    for (const char c : s)
        out += (c >= 'A' && c <= 'Z') ? static_cast<char>(c | 0x20) : c;
    return out;
}

class FrmResLoader final : public automation::Object, public host::IFrmResLoader {
  public:
    automation::Variant SetFrmFont(host::IFontWindow& window, std::string& language) override {
        window.WindowFont() = FontForLanguage(language, window.WindowFont());
        return {};
    }
};

}  // namespace

host::FormFont FontForLanguage(std::string_view language, host::FormFont font) {
    const std::string code = Lower(language);
    const std::string base = code.substr(0, code.find_first_of("_-.@"));
    const auto set = [&](const char* family, int charset) {
        font.Name = family;
        font.Size = kPointSize;
        font.Charset = charset;
        return font;
    };
    if (base.empty() || base == "zh") {
        // Traditional script for Taiwan, Hong Kong and Macao, simplified otherwise.
        for (const char* traditional : {"_tw", "-tw", "_hk", "-hk", "_mo", "-mo", "hant"}) {
            if (code.find(traditional) != std::string::npos) {
                return set("Noto Sans CJK TC", kBig5Charset);
            }
        }
        return set("Noto Sans CJK SC", kGb2312Charset);
    }
    if (base == "ja") return set("Noto Sans CJK JP", kShiftJisCharset);
    if (base == "ko") return set("Noto Sans CJK KR", kHangulCharset);
    for (const char* cyrillic : {"ru", "uk", "be", "bg", "mk", "sr", "kk"}) {
        if (base == cyrillic) return set("DejaVu Sans", kRussianCharset);
    }
    if (base == "el") return set("DejaVu Sans", kGreekCharset);
    if (base == "tr") return set("DejaVu Sans", kTurkishCharset);
    return set("DejaVu Sans", kAnsiCharset);
}

void RegisterFrmResLoader() {
    automation::RegisterFactory(host::progid::kFrmResLoader,
                                [] { return std::make_shared<FrmResLoader>(); });
}

}  // namespace zev::suite
