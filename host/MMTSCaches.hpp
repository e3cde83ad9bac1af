#pragma once
// The per-thread caches of MMTS that the text lookup and the window font share. Private
// to host/.

#include <memory>
#include <string>

#include "host/SuiteInterfaces.hpp"

namespace zev::host::MMTS {

// Filled on first use and never cleared.
struct Caches {
    std::string LanguageCode;
    std::shared_ptr<IResLoader> TextLoader;
    std::shared_ptr<IFrmResLoader> FontLoader;
};

inline Caches& ThreadCaches() {
    thread_local Caches caches;
    return caches;
}

}  // namespace zev::host::MMTS
