// Process-level services of the frame: the executable's path and termination signals.
#pragma once
#include <string>

namespace plat {

// Full path of the running executable (UTF-8); empty when unknown.
std::string ExecutablePath();

// SIGTERM, SIGINT and SIGHUP set a flag instead of killing the process, so the program can end
// through its normal shutdown.
void InstallTerminationHandlers();
bool TerminationRequested();
void ClearTerminationRequest();  // tests

}  // namespace plat
