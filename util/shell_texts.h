#pragma once

#include <functional>
#include <string>
#include <string_view>

// The texts both shells show, by one rule each.

// The captions, as the status window, its menu and the start's box show them.
inline constexpr char16_t window_caption[] = u"Leitura de balanca";
inline constexpr char16_t status_caption[] = u"Status:";
inline constexpr char16_t waiting_caption[] = u"Aguardando o início da importação";
inline constexpr char16_t skip_list_caption[] = u"Produtos ignorados (detalhes em ConfigImporta.log):";
inline constexpr char16_t restore_menu_caption[] = u"Restaurar programa - Leitura de balança";
inline constexpr char16_t quit_menu_caption[] = u"Sair do sistema";
inline constexpr char16_t start_failure_caption[] = u"Application Error";

// The shell's own case mapping, as the shell shows the text.
using ToLower = std::function<std::u16string(std::u16string_view)>;

// The title the program shows (error box caption, tray tip): the executable's
// file name cut before its first full stop, all but the first character in
// lower case ("Price Loader.exe" gives "Price loader").
std::u16string application_title_from_file_name(std::u16string_view file_name, const ToLower& to_lower);

// The icon tip holds at most 127 characters; a cut never splits a character
// written as two UTF-16 units.
std::u16string tray_tip_text(std::u16string_view title);

// The box text of a failure that escaped the run: a full stop is appended
// unless the message already ends in one or in a character below it.
std::u16string error_box_text(std::u16string_view message);

// A failure box closes itself after this long, as if OK had been clicked:
// on a shop's PC nobody may be there to click it.
constexpr int failure_box_seconds = 60;

// The seconds a failure box stays: failure_box_seconds, unless the tests'
// IMPORTADOR_BOX_SECONDS shortens it.
int failure_box_lifetime();

// A failure box's text with the seconds left before it closes itself.
std::u16string failure_box_text(std::u16string_view message, int seconds_left);
