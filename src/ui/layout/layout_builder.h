// The layout builder: turns a layout script into a widget tree through the menu manager's
// factories. At every level the node kinds are tried in a fixed order (Group, Root, Window, Btn,
// Text, List, SBar, PBar, WinGroup, Model, Copy, CopyS), each with numbers 0, 1, ... up to the
// first missing one, so siblings stand in kind order, then number: the order that screens find
// their widgets by. Root nodes make nothing; their children join the enclosing widget. Copy and
// CopyS repeat an earlier sibling's subtree.
#pragma once
#include <string>

#include "core/fixed_path.h"

class CVMenuBase;
class CVMenuMgr;
class CVScript;

// Installs the builder as the menu manager's definition loader (the program and the tools call
// this once at start-up).
void InstallLayoutBuilder();
// Loads the script (descrambled through the game file reader) and builds it under parent (null:
// top-level widgets become roots). False when the file cannot be read (nothing is built).
bool LoadLayoutDefinition(CVMenuMgr& mgr, const FixedPath& file, CVMenuBase* parent);
// Builds an already parsed script.
void BuildLayoutTree(CVMenuMgr& mgr, const CVScript& script, CVMenuBase* parent);
// A copy of the source's subtree under parent (null for a root source, which is never copied).
CVMenuBase* CopyWidgetTree(CVMenuMgr& mgr, CVMenuBase* source, CVMenuBase* parent);
// Pivots, animation keys, reference parameters, state animations and the start animation of one
// node (Group, Window, Btn, Text, WinGroup, Model).
void LoadWidgetAnimation(CVMenuBase* widget, const std::string& node, const CVScript& script);
