#pragma once

#include <string>
#include <string_view>
#include <vector>

// Plain text scan of the members of the first object of a compact JSON text.
// qualCampo: 0 key then value, 1 key only, 2 value only (any other value
// collects nothing). The scan stops once more than MaximoCampos entries are
// held; the last member is read again until then.
std::vector<std::u16string> scan_json_members(std::u16string_view textIn, int qualCampo, int MaximoCampos,
                                              std::u16string_view chvA = u"{", std::u16string_view chvF = u"}");

// "OK" or "ERRO: ..." judged from a compact JSON text: an error answer is one
// whose first key is a piece of "Erro" or of "Message". The scan's entries
// are returned through `scan` when non-null.
std::u16string judge_response(std::u16string_view ErroIn, std::vector<std::u16string>* scan = nullptr);
