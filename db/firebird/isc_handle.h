#pragma once

// The client library's handle type (FB_API_HANDLE) without its header, so
// that ibase.h stays out of the public headers. The sources that include
// ibase.h check at compile time that the two agree.
#if defined(_LP64) || defined(__LP64__) || defined(__arch64__) || defined(_WIN64)
using IscHandle = unsigned int;
#else
using IscHandle = void*;
#endif
