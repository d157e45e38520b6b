#pragma once

#include <string>

// The system's text for a Win32 error code (or one of the module's own
// message table, such as WinHTTP's), without its closing line break; a
// plain "error N" when the system has no text.
std::u16string windows_error_text(unsigned long code, const wchar_t* module_name = nullptr);
