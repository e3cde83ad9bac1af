// The text resource loader "ZevResLoader.Loader": RegisterResLoader; the loader object,
// which picks the catalogue of its file set and language, stays private.

#include "suite/ResLoader.hpp"

#include <errno.h>

#include <cstdio>
#include <memory>
#include <mutex>
#include <set>

#include "host/SuiteInterfaces.hpp"
#include "platform/automation/ComError.hpp"
#include "platform/automation/ObjectRegistry.hpp"
#include "suite/CatalogueCache.hpp"
#include "suite/LangInfo.hpp"

namespace zev::suite {
namespace {

using automation::ComError;

// Names that become parts of a file path must stay inside the resource folder.
bool IsPlainName(std::string_view name) {
    if (name.empty() || name.front() == '.') return false;
    for (const char c : name) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                        (c >= '0' && c <= '9') || c == '_' || c == '-' || c == '.' || c == '@';
        if (!ok) return false;
    }
    return true;
}

// Says once per process, in English and in the source language, that a language asked
// for has no catalogue, so that a mistyped --lang or Language entry is not silently
// answered with the source texts.
void SayNoCatalogue(const std::string& language) {
    static std::mutex mutex;
    static std::set<std::string> said;
    const std::lock_guard lock(mutex);
    if (!said.insert(language).second) return;
    std::string shown;
    for (const char c : language)
        shown += static_cast<unsigned char>(c) < 0x20 || c == 0x7f ? '?' : c;
    // Both languages, since the catalogue that would say it in the user's is missing.
    const char* program = program_invocation_short_name;
    std::fprintf(stderr, "%s: \"%s\": %s\n%s: \"%s\": %s\n", program, shown.c_str(),
                 "no translation catalogue for this language; the source texts are shown", program,
                 shown.c_str(), "没有这种语言的翻译文件，显示原文");
}

class ResLoader final : public automation::Object, public host::IResLoader {
  public:
    std::string GetResFileBaseName() override { return baseName_; }
    void SetResFileBaseName(const std::string& name) override {
        baseName_ = name;
        slot_.reset();
    }
    std::string GetLanguageID() override { return languageId_; }
    void SetLanguageID(const std::string& language) override {
        languageId_ = language;
        slot_.reset();
    }

    std::string LoadString(std::string& key) override {
        if (!slot_) slot_ = Catalogue();
        if (slot_->error) throw ComError(*slot_->error);
        if (slot_->catalogue) {
            if (const std::string* text = slot_->catalogue->Find(key)) return *text;
        }
        return key;
    }

  private:
    // The catalogue of the most specific name the language may be served by (en_US.UTF-8:
    // en_US, then en); none for the source language, and none, said once, for a language
    // that has no catalogue in the file set.
    std::shared_ptr<const CatalogueSlot> Catalogue() const {
        static const auto none = std::make_shared<const CatalogueSlot>();
        if (!IsPlainName(baseName_) || languageId_.empty()) return none;
        if (LanguageOfLocale(languageId_) == kSourceLanguage) return none;
        const std::string folder = ResourceDirectory();
        if (folder.empty()) return none;
        for (const std::string& name : LocaleCandidates(languageId_)) {
            if (!IsPlainName(name)) continue;
            auto slot = CachedCatalogue(folder + "/" + baseName_ + "/" + name + ".po");
            if (slot->catalogue || slot->error) return slot;
        }
        SayNoCatalogue(languageId_);
        return none;
    }

    std::string baseName_;
    std::string languageId_;
    std::shared_ptr<const CatalogueSlot> slot_;
};

}  // namespace

void RegisterResLoader() {
    automation::RegisterFactory(host::progid::kResLoader,
                                [] { return std::make_shared<ResLoader>(); });
}

}  // namespace zev::suite
