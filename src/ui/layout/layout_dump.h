// A readable listing of a widget tree, one line per widget in tree order (depth first): its path
// name as GetPathName gives it, type, button ids, position, size, picture name and pattern, the
// load-on-open (2), second-loader/vertical (13) and animation-running (10) bits, state, and the
// animation keys. Used by the layout tool and the layout tests.
#pragma once
#include <string>

class CVMenuBase;

// Lines for root and every widget below it (the root itself included unless skipRoot).
std::string DumpWidgetTree(CVMenuBase* root, bool skipRoot);
