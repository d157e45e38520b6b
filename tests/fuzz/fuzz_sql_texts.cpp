// The gateway's statements built from service data and encoded for the
// database: whatever the values hold, each stays one statement of the same
// shape, its literals holding exactly the values.
#include "fuzz_input.h"
#include "fuzz_targets.h"

#include "db/firebird/sql_text_scan.h"
#include "db/statement_texts.h"
#include "util/ansi_codepage.h"
#include "util/ascii_text.h"
#include "util/error.h"
#include "util/frmfunckelvo.h"
#include "util/utf.h"

#include <string>
#include <vector>

namespace {

// The names the import writes; "" for a pair without one.
constexpr const char16_t* column_names[] = {
    u"cod_red", u"nom_mer", u"ape_cup", u"cod_bar",     u"ref_mer",     u"dep_mer", u"uni_mer", u"uni_bal",
    u"QTD_EST", u"vlr_ven", u"cod_ncm", u"pro_balanca", u"pro_servico", u"cod_dep", u"nom_dep", u"",
};

// A statement split at its '...' literals: the text around them (each
// literal replaced by one "?") and the literals' contents, '' read as '.
template <typename Char> struct Split {
    std::basic_string<Char> shape;
    std::vector<std::basic_string<Char>> literals;
    bool open_literal = false;
};

template <typename Char> Split<Char> split_at_literals(std::basic_string_view<Char> text)
{
    Split<Char> split;
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] != Char('\'')) {
            split.shape.push_back(text[i++]);
            continue;
        }
        std::basic_string<Char> literal;
        for (++i;; ++i) {
            if (i >= text.size()) {
                split.open_literal = true;
                return split;
            }
            if (text[i] == Char('\'')) {
                if (i + 1 < text.size() && text[i + 1] == Char('\'')) {
                    literal.push_back(Char('\''));
                    ++i;
                    continue;
                }
                ++i;
                break;
            }
            literal.push_back(text[i]);
        }
        split.literals.push_back(std::move(literal));
        split.shape.push_back(Char('?'));
    }
    return split;
}

std::u16string joined(const std::vector<std::u16string>& lines)
{
    std::u16string text;
    for (const auto& line : lines) text += line + u"\r\n";
    return text;
}

std::string shown(const std::string& bytes)
{
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char b : bytes) {
        if (b >= 0x20 && b < 0x7F) {
            out.push_back(static_cast<char>(b));
        } else {
            out += "\\x";
            out.push_back(hex[b >> 4]);
            out.push_back(hex[b & 15]);
        }
    }
    return out;
}

// The encoded statement has the shape of the text it came from and literals
// holding `values` (checked only when given) in the code page.
void check_statement(const std::vector<std::u16string>& lines, std::size_t literal_count,
                     const std::vector<std::u16string>* values, const AnsiCodePage& page)
{
    const std::u16string text = joined(lines);
    try {
        has_parameter_markers(text);
    } catch (const Error& failure) {
        throw FuzzFinding("the statement text does not scan: " + std::string(failure.what()) + "\n" +
                          utf16_to_utf8(text));
    }
    const std::string bytes = page.encode(text);
    const auto split = split_at_literals<char>(bytes);
    // The message shows the whole statement, so it is built only on failure.
    const auto expect = [&](bool holds, const char* what) {
        if (!holds) throw FuzzFinding(std::string(what) + " in " + page.name() + ": " + shown(bytes));
    };
    expect(!split.open_literal, "a literal is left open");
    expect(split.literals.size() == literal_count, "the literals are not the values");
    expect(split.shape == page.encode(split_at_literals<char16_t>(text).shape), "the statement changed shape");
    if (values)
        for (std::size_t i = 0; i < literal_count; ++i)
            expect(split.literals[i] == page.encode((*values)[i]), "a literal lost its value");
}

}  // namespace

int fuzz_sql_texts(const std::uint8_t* data, std::size_t size)
{
    FuzzInput input(data, size);
    const std::size_t pair_total = input.byte() % 16;
    std::vector<std::u16string> pairs;
    std::vector<std::u16string> values;
    std::size_t assignments = 0;
    for (std::size_t i = 0; i < pair_total; ++i) {
        const std::u16string name = column_names[input.byte() % std::size(column_names)];
        std::u16string value = input.utf16_text();
        if (!name.empty() || !value.empty()) ++assignments;
        pairs.push_back(name);
        pairs.push_back(value);
        values.push_back(std::move(value));
    }
    if (input.byte() & 1) pairs.push_back(u"trailing_name");  // ignored by the builders
    const std::u16string department = ascii_upper(input.utf16_text());

    for (const AnsiCodePage& page : {AnsiCodePage::windows1252(), AnsiCodePage::utf8()}) {
        check_statement(insert_statement_lines(u"Mercadorias", pairs), values.size(), &values, page);
        const std::u16string assigned = update_assignments(pairs);
        check_statement(update_statement_lines(u"Mercadorias", assigned, u"cod_red=7"), assignments, nullptr, page);
        const std::vector<std::u16string> department_value = {department};
        check_statement({select_statement_line(u"Departamentos", u"nom_dep=" + Entre_Aspas(department))}, 1,
                        &department_value, page);
    }
    return 0;
}
