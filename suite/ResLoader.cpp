// The text resource loader "ZevResLoader.Loader": RegisterResLoader; the loader object,
// which picks the catalogue of its file set and language, stays private.

#include "suite/ResLoader.hpp"

#include <memory>

#include "host/SuiteInterfaces.hpp"
#include "platform/automation/ComError.hpp"
#include "platform/automation/ObjectRegistry.hpp"
#include "suite/CatalogueCache.hpp"

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
    std::shared_ptr<const CatalogueSlot> Catalogue() const {
        static const auto none = std::make_shared<const CatalogueSlot>();
        if (!IsPlainName(baseName_) || !IsPlainName(languageId_)) return none;
        const std::string folder = ResourceDirectory();
        if (folder.empty()) return none;
        return CachedCatalogue(folder + "/" + baseName_ + "/" + languageId_ + ".po");
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
