#pragma once

#include <functional>

// SIGINT and SIGTERM become a call of on_quit on the UI thread, served
// wherever pending messages are dispatched (so a run in progress finishes).
void route_quit_signals(std::function<void()> on_quit);
