// A shared library holding the resource loader, loaded by a test as a host process
// loads the component library.

#include <string>

#include "suite/ResLoader.hpp"

extern "C" __attribute__((visibility("default"))) const char* zev_resource_directory_probe() {
    static std::string directory;
    directory = zev::suite::ResourceDirectory();
    return directory.c_str();
}
