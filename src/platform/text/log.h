// Diagnostic log: one line per call on stderr, tagged with a category ("fs", "sound", ...).
// Messages are CP932 like all program text and are converted to UTF-8 on output.
#pragma once

namespace plat {

void Log(const char* category, const char* fmt, ...) __attribute__((format(printf, 2, 3)));

// A file the program refuses (damaged, unreadable, of a kind it cannot use): "<path>: <reason>",
// logged once per path for the life of the program, since some loaders are retried every frame.
void LogRefusedFile(const char* category, const char* path, const char* reason);

// Tests may silence the log (it stays on by default).
void SetLogEnabled(bool on);

}  // namespace plat
