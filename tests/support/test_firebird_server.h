#pragma once

#include "support/firebird_server.h"

// The test program's one server, started on first use and stopped when the
// tests end. Call it from the main thread (the one running the tests).
FirebirdServer& firebird_server();
