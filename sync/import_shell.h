#pragma once

#include <string>

#include "sync/run_events.h"

// What only a shell can do for a run. The run calls it on its own thread,
// between its steps; the shell draws the events and decides nothing.
class ImportShell : public RunEvents {
public:
    // Serves pending user input (tray clicks, a quit) between pages.
    virtual void dispatch_messages() = 0;
    // A failure that escaped the run, shown modally; returns when closed.
    virtual void show_failure_box(const std::u16string& message) = 0;
};
