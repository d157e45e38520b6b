#pragma once

// Where each control of the status window sits, in pixels at 96 dots per
// inch, within the window's client area. Both shells lay it out from here;
// one that follows the screen's scale multiplies.
struct ControlPlace {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

struct WindowSize {
    int width = 0;
    int height = 0;
};

struct StatusWindowLayout {
    WindowSize window;
    // Once a product is skipped: the list takes the memo's place, which the
    // small window never showed, and the progress line the list's width.
    WindowSize grown_window;
    ControlPlace config_button;
    int config_picture = 0;  // square
    ControlPlace status_label;
    ControlPlace progress_label;
    ControlPlace grown_progress_label;
    ControlPlace memo;
    ControlPlace skip_caption;
    ControlPlace skip_list;
    const char16_t* font_face = nullptr;
    int font_points = 0;
};

inline constexpr StatusWindowLayout status_window_layout{
    .window = {300, 100},
    .grown_window = {513, 270},
    .config_button = {24, 8, 40, 40},
    .config_picture = 20,
    .status_label = {88, 16, 60, 16},
    .progress_label = {88, 34, 204, 60},
    .grown_progress_label = {88, 34, 401, 60},
    .memo = {24, 136, 465, 73},
    .skip_caption = {24, 104, 465, 16},
    .skip_list = {24, 122, 465, 130},
    .font_face = u"Tahoma",
    .font_points = 8,
};
