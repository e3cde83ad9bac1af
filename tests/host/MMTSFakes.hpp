#pragma once
// Fake suite components for the tests of MMTS: each is registered under the real
// ProgID for the life of the fixture and records how it was created and called.

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "host/SuiteInterfaces.hpp"
#include "platform/automation/ComError.hpp"
#include "platform/automation/ObjectRegistry.hpp"

namespace zev::test {

using automation::ComError;
using automation::ErrorInfo;
using automation::ObjectPtr;
using automation::Variant;

// A failure a fake raises, after it has left a pending error of its own behind, as a
// failing callee may.
[[noreturn]] inline void FailAsCallee(const ErrorInfo& error) {
    automation::Err() = ErrorInfo{999, "callee", "left behind", "callee.hlp", 1};
    throw ComError(error);
}

struct ShareProps {
    struct State {
        int created = 0;
        bool failCreate = false;
        Variant answer;
        std::optional<ErrorInfo> failure;
        std::vector<std::pair<int32_t, std::string>> calls;
    };
    class Object final : public automation::Object, public host::IShareProps {
      public:
        explicit Object(std::shared_ptr<State> s) : s_(std::move(s)) {}
        Variant GetProperty(int32_t& processId, std::string& name) override {
            s_->calls.emplace_back(processId, name);
            if (s_->failure) FailAsCallee(*s_->failure);
            return s_->answer;
        }

      private:
        std::shared_ptr<State> s_;
    };

    std::shared_ptr<State> state = std::make_shared<State>();
    automation::ScopedFactory factory{
        host::progid::kShareProps, [s = state]() -> ObjectPtr {
            ++s->created;
            if (s->failCreate) {
                FailAsCallee({429, "PropsMgr", "not installed", "", 0});
            }
            return std::make_shared<Object>(s);
        }};
};

struct ResLoader {
    struct State {
        int creations = 0;      // attempts, failed ones included
        int failCreations = 0;  // the first so many attempts fail
        int getBase = 0;
        int setBase = 0;
        int getLanguage = 0;
        int setLanguage = 0;
        std::string base = "Initial";  // what a new loader holds
        std::string language = "Initial";
        std::map<std::string, std::string> texts;
        std::set<std::string> failingKeys;
        std::vector<std::string> keys;  // every key asked, in order
    };
    class Object final : public automation::Object, public host::IResLoader {
      public:
        explicit Object(std::shared_ptr<State> s)
            : s_(std::move(s)), base_(s_->base), language_(s_->language) {}
        std::string GetResFileBaseName() override {
            ++s_->getBase;
            return base_;
        }
        void SetResFileBaseName(const std::string& name) override {
            ++s_->setBase;
            base_ = name;
        }
        std::string GetLanguageID() override {
            ++s_->getLanguage;
            return language_;
        }
        void SetLanguageID(const std::string& language) override {
            ++s_->setLanguage;
            language_ = language;
        }
        std::string LoadString(std::string& key) override {
            s_->keys.push_back(key);
            if (s_->failingKeys.count(key) != 0)
                FailAsCallee({-5, "ZevResLoader", "broken", "", 0});
            const auto it = s_->texts.find(key);
            return it == s_->texts.end() ? key : it->second;
        }

        std::shared_ptr<State> s_;
        // Public, so that a test can change a property behind the lookup's back.
        std::string base_;
        std::string language_;
    };

    std::shared_ptr<State> state = std::make_shared<State>();
    // Every loader made, kept here rather than in the state they refer to.
    std::vector<std::shared_ptr<Object>> made;
    automation::ScopedFactory factory{host::progid::kResLoader, [this, s = state]() -> ObjectPtr {
                                          if (++s->creations <= s->failCreations) {
                                              FailAsCallee({429, "ZevResLoader", "missing", "", 0});
                                          }
                                          auto o = std::make_shared<Object>(s);
                                          made.push_back(o);
                                          return o;
                                      }};
    Object& Last() { return *made.back(); }
};

struct LangInfo {
    struct State {
        int created = 0;
        bool failCreate = false;
        Variant answer = Variant("");
    };
    class Object final : public automation::Object, public host::ILangInfo {
      public:
        explicit Object(std::shared_ptr<State> s) : s_(std::move(s)) {}
        Variant CurrentLanguage() override { return s_->answer; }

      private:
        std::shared_ptr<State> s_;
    };

    std::shared_ptr<State> state = std::make_shared<State>();
    automation::ScopedFactory factory{host::progid::kLangInfo, [s = state]() -> ObjectPtr {
                                          ++s->created;
                                          if (s->failCreate) {
                                              FailAsCallee({429, "ZevLangInfo", "missing", "", 0});
                                          }
                                          return std::make_shared<Object>(s);
                                      }};
};

struct FontLoader {
    struct State {
        int created = 0;
        bool failCreate = false;
        bool failCall = false;
        std::vector<std::pair<host::IFontWindow*, std::string>> calls;
    };
    class Object final : public automation::Object, public host::IFrmResLoader {
      public:
        explicit Object(std::shared_ptr<State> s) : s_(std::move(s)) {}
        Variant SetFrmFont(host::IFontWindow& window, std::string& language) override {
            s_->calls.emplace_back(&window, language);
            if (s_->failCall) FailAsCallee({-7, "FrmRes", "no font", "", 0});
            window.WindowFont().Name = "Font for " + language;
            return {};
        }

      private:
        std::shared_ptr<State> s_;
    };

    std::shared_ptr<State> state = std::make_shared<State>();
    automation::ScopedFactory factory{host::progid::kFrmResLoader, [s = state]() -> ObjectPtr {
                                          ++s->created;
                                          if (s->failCreate) {
                                              FailAsCallee({429, "FrmRes", "missing", "", 0});
                                          }
                                          return std::make_shared<Object>(s);
                                      }};
};

struct Window final : host::IFontWindow {
    host::FormFont font;
    host::FormFont& WindowFont() override { return font; }
};

}  // namespace zev::test
