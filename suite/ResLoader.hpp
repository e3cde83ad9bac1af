#pragma once
// The text resource loader "ZevResLoader.Loader": answers a source text with its
// translation from the gettext PO catalogue <resources>/<ResFileBaseName>/<LanguageID>.po.
// A key the catalogue lacks, an empty translation, or a language without a catalogue
// give the key back unchanged; a malformed catalogue is an error of the loader.

#include "suite/PoCatalogue.hpp"
#include "suite/ResourceFolder.hpp"

namespace zev::suite {

// Registers "ZevResLoader.Loader".
void RegisterResLoader();

}  // namespace zev::suite
