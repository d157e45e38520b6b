#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "sync/run_events.h"

// The words both shells show for a run's events, by one rule each.

// The skip list shows the most recent ones only.
inline constexpr std::size_t shown_skips_capacity = 100;

// Up to two lines: what the committed pages hold ("Página 12 · 6.000
// produtos gravados · 3 ignorados"), once there is one, and the step under
// way ("Gravando página 13…").
std::u16string progress_text(const RunProgress& progress);

// "<codigo>: <reason>", as the log gives it, on one line, since a list
// shows one line to an item: each line break (CR LF, LF or CR) as "; ".
std::u16string skipped_text(const SkippedProduct& product);

// The icon tip: the title, then the progress, within the tip's length.
std::u16string tray_tip_with_progress(std::u16string_view title, std::u16string_view progress);

// The notice raised as the process ends, for a run that failed or skipped
// products; none for a clean one. Title and text fit a Windows balloon
// (63 and 255 characters); a long outcome is cut, never the log's name.
struct EndNotice {
    std::u16string title;
    std::u16string text;
    bool failed = false;
};
std::optional<EndNotice> end_notice(const RunEnd& end);

// "6.000": digits grouped by thousands with full stops, as Brazil writes them.
std::u16string grouped_integer_text(long long value);
