#pragma once

namespace zev::suite {

// Registers the factories of every suite component under its ProgID.
void RegisterSuite();

}  // namespace zev::suite
