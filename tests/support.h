// What the tests share: the built programs, scratch directories, a fake host and file helpers.
#pragma once

#include <string>

// The plug-in module and the stand-in host built with this test program (empty when not given).
const std::string& PluginPath();
const std::string& PellixPath();
