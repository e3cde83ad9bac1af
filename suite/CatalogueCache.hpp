#pragma once
// The catalogue files of the process, each read once and kept.

#include <memory>
#include <optional>
#include <string>

#include "platform/automation/ComError.hpp"
#include "suite/PoCatalogue.hpp"

namespace zev::suite {

// What one catalogue file gave: its translations, no file at all, or the error it
// raised. Kept for the life of the process, so each file is read once.
struct CatalogueSlot {
    std::shared_ptr<const PoCatalogue> catalogue;
    std::optional<automation::ErrorInfo> error;
};

// The slot of the catalogue file at `path`, read at the first request of any thread.
// Only a regular file is read; a folder, a device or a pipe is an error of the slot.
std::shared_ptr<const CatalogueSlot> CachedCatalogue(const std::string& path);

}  // namespace zev::suite
