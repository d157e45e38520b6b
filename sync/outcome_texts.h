#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The texts a run gives the result file and the log for how it ended, each
// made by one rule. The back office reads them: they do not change.

inline constexpr std::u16string_view ok_outcome = u"Importacao de dados Ok";
inline constexpr std::u16string_view no_request_file_text = u"Erro abrir arquivo de configuracao ConfigImporta.ini";

// A failure that escaped the import.
std::u16string run_failure_text(std::u16string_view message);

std::u16string no_new_start_id_text(std::int32_t start_id);
std::u16string write_interrupted_text(std::u16string_view codigo, std::u16string_view message);
std::u16string page_not_saved_text(std::int32_t start_id);
std::u16string foreign_control_record_text(std::int32_t start_id);

// The log's line for a page in hand: its rows, or the text it ends the run with.
std::u16string page_read_text(std::int32_t start_id, std::u16string_view rows_or_ending);
std::u16string page_rows_text(std::size_t rows);

// The receipt's confirmation, by how the service took it.
std::u16string confirmation_not_sent_text(std::u16string_view answer);
std::u16string confirmation_refused_text(long status);
inline constexpr std::u16string_view confirmation_sent_text = u"Confirmação de recebimento enviada";
