#pragma once

#include <functional>

// First thing in main, before any thread exists: SIGINT and SIGTERM are held
// for route_quit_signals and reach no handler. The database client library
// installs handlers of its own that shut every connection down, which would
// cut a run short instead of letting it finish.
void hold_quit_signals();

// Held SIGINT and SIGTERM, those already pending included, become a call of
// on_quit on the UI thread, served wherever pending messages are dispatched
// (so a run in progress finishes). Should that be impossible, they are
// released to act as they would without us.
void route_quit_signals(std::function<void()> on_quit);
