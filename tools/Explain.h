// wdxquery's texts for people: result codes, values with their control
// characters made visible, and --explain, the road of one value request.
#pragma once

#include <string>
#include <string_view>

#include "tools/PluginModule.h"

namespace wdxhost {

// The name of a result code of the host interface.
const char* TypeName(int type);

// A text with control characters made visible: "\n", "\r", "\t", "\xNN".
std::string Visible(std::string_view text);

// Prints, step by step and in the module's order, how the value of field
// `field` for `file` comes about, computed by the plugin's own code linked
// into this tool, then asks the loaded plugin for the same value. False
// when the two answers differ (said loudly on stdout and stderr).
bool Explain(const Plugin& plugin, const char* file, int field, int maxlen);

}  // namespace wdxhost
