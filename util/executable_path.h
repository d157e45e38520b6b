#pragma once

#include <string>

// Full path of the running executable in the file system's bytes; empty when
// the system will not tell.
std::string executable_file_path();
