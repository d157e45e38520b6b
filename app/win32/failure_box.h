#pragma once

#include <windows.h>

#include <string>

// A modal error box that closes itself after failure_box_lifetime(), as if
// OK had been clicked, its text counting down. Without an interactive
// desktop nobody could see it: no box is shown and the call returns at once.
void show_failure_box(HWND owner, const std::u16string& caption, const std::u16string& message);

// False in a window station nobody sees (a scheduled task, a service) and
// under Wine's display driver for no display.
bool has_interactive_desktop();
