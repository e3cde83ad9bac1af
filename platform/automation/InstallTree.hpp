#pragma once
// Where the parts of an installed tree lie, found from the file that holds this code: the
// program (in the programs' folder) or the component library (in the library folder). The
// build places every part the way an installation does, so the same rule serves the build
// tree, a prefix and the Debian packages, and a tree can be moved as a whole.

#include <string>

namespace zev::automation::install {

enum class Part {
    Libraries,  // the component library's folder (lib/, or lib/<multiarch>/)
    Data,       // share/
};

// The absolute folder of `part` of the tree that holds the file of this code; empty when
// that file cannot be found.
std::string FolderOf(Part part);

}  // namespace zev::automation::install
