#pragma once

#include <QString>

// True on Qt's offscreen platform: no desktop, so no window, tray or box.
bool running_headless();

// A modal error box that closes itself after failure_box_lifetime(), its
// text counting down; without a desktop the message goes to standard error
// and no box is shown.
void show_error_box(const QString& caption, const QString& message);

// The core's full-stop rule for Qt's text.
QString error_box_text(const QString& message);
