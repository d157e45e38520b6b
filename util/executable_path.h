#pragma once

#include <string>

// The directory of the running executable as text, up to and including its
// last separator ("/" on Linux; "\" or ":" on Windows, with a "\" added
// after a bare drive); empty when the system will not tell.
std::u16string executable_directory();
// The running executable's file name without its directory; empty when
// the system will not tell.
std::u16string executable_file_name();
