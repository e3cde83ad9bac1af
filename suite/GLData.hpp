#pragma once
// The access checker "VORUROduv.GLData": whether the user may maintain the factory
// calendar. It grants unless the process's property string says CalendarAccess=read.

namespace zev::suite {

// Registers "VORUROduv.GLData".
void RegisterGLData();

}  // namespace zev::suite
