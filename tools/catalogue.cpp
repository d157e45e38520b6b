#include "tools/catalogue.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <random>

namespace {

constexpr std::array department_base_names{
    "AÇOUGUE", "Padaria D'Ouro", "Frios e Laticínios",   "Hortifrúti", "Mercearia",
    "Bebidas", "Limpeza",        "Higiene e Perfumaria", "Congelados", "Pães e Bolos",
};

constexpr std::array product_base_names{
    "Arroz Tipo 1 5kg",   "Feijão Carioca 1kg",   "Pão Francês",        "Leite Integral 1L", "Café Torrado 500g",
    "Açúcar Cristal 2kg", "Óleo de Soja 900ml",   "Macarrão Espaguete", "Queijo Muçarela",   "Presunto Cozido",
    "Sabão em Pó 1kg",    "Refrigerante Cola 2L", "Água Mineral 500ml", "Biscoito Maria",    "Maçã Gala",
    "Banana Prata",       "Coxão Mole",           "Frango Inteiro",     "Iogurte Natural",   "Pão de Queijo D'Minas",
};

std::string digits(std::uint64_t value)
{
    char buffer[24];
    auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    return std::string(buffer, end);
}

// Hundredths as a JSON number without trailing zeros: 2825 -> 28.25, 1250 -> 12.5, 1000 -> 10.
std::string decimal(std::uint64_t hundredths)
{
    std::string text = digits(hundredths / 100);
    unsigned cents = static_cast<unsigned>(hundredths % 100);
    if (cents == 0) return text;
    text += '.';
    text += static_cast<char>('0' + cents / 10);
    if (cents % 10 != 0) text += static_cast<char>('0' + cents % 10);
    return text;
}

// At most max_bytes, never cutting a character in two.
std::string utf8_prefix(const std::string& text, std::size_t max_bytes)
{
    if (text.size() <= max_bytes) return text;
    std::size_t end = max_bytes;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    return text.substr(0, end);
}

std::vector<std::string> make_department_names(std::size_t count)
{
    std::vector<std::string> names;
    for (std::size_t i = 0; i < std::max<std::size_t>(count, 1); ++i)
        names.push_back(i < department_base_names.size() ? department_base_names[i] : "Departamento " + digits(i + 1));
    return names;
}

// Spread the refused products evenly, starting at a seed-dependent offset.
std::vector<std::size_t> bad_indexes(std::size_t products, std::size_t bad, std::mt19937& random)
{
    std::vector<std::size_t> indexes;
    bad = std::min(bad, products);
    if (bad == 0) return indexes;
    std::size_t step = products / bad;
    std::size_t offset = random() % step;
    for (std::size_t i = 0; i < bad; ++i) indexes.push_back(i * step + offset);
    return indexes;
}

class ProductWriter {
public:
    explicit ProductWriter(std::mt19937& random) : random_(random) { }

    std::string write(std::int64_t id, const std::string& department, bool bad)
    {
        const std::string base = product_base_names[pick(product_base_names.size())];
        const bool weighed = pick(4) == 0;
        const std::uint64_t price = 99 + pick(49900);
        std::string o = "{\"codigo\":" + digits(static_cast<std::uint64_t>(id));
        field(o, "nome", base + " " + digits(static_cast<std::uint64_t>(id)));
        field(o, "apelidoProduto", utf8_prefix(base, 20));
        field(o, "codigoBarras", "789" + padded(pick(10'000'000'000ULL), 10));
        field(o, "referencia", "REF-" + digits(static_cast<std::uint64_t>(id)));
        field(o, "nomeDepartamento", department);
        field(o, "unidadeVenda", weighed ? "KG" : (pick(3) == 0 ? "CX" : "UN"));
        field(o, "unidadeBalanca", bad ? "UNIDADE" : (weighed ? "KG" : "UN"));
        o += ",\"produtoBalanca\":";
        o += weighed ? "1" : "0";
        o += ",\"Ativo\":";
        o += pick(20) == 0 ? "0" : "1";
        field(o, "ncm", padded(10'000'000 + pick(89'999'999), 8));
        o += ",\"qtdEstoque\":" + (weighed ? decimal(pick(100'000) * 5) : digits(pick(1000)));
        o += ",\"valorVenda\":" + decimal(price);
        o += ",\"valorPromocao\":" + decimal(price * 9 / 10);
        o += '}';
        return o;
    }

    std::uint64_t pick(std::uint64_t bound) { return (std::uint64_t{random_()} << 32 | random_()) % bound; }

private:
    static void field(std::string& o, const char* name, const std::string& value)
    {
        o += ",\"";
        o += name;
        o += "\":";
        o += json_string(value);
    }
    static std::string padded(std::uint64_t value, std::size_t width)
    {
        std::string text = digits(value);
        return std::string(width > text.size() ? width - text.size() : 0, '0') + text;
    }
    std::mt19937& random_;
};

}  // namespace

std::string json_string(std::string_view utf8)
{
    static constexpr char hex[] = "0123456789abcdef";
    std::string out = "\"";
    for (unsigned char c : utf8) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            out += "\\u00";
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    out += '"';
    return out;
}

Catalogue::Catalogue(const CatalogueOptions& options) : departments_(make_department_names(options.departments))
{
    std::mt19937 random(options.seed);
    std::vector<std::size_t> bad = bad_indexes(options.products, options.bad, random);
    ProductWriter writer(random);
    ids_.reserve(options.products);
    objects_.reserve(options.products);
    for (std::size_t i = 0; i < options.products; ++i) {
        const auto id = static_cast<std::int64_t>(i + 1);
        const bool is_bad = std::binary_search(bad.begin(), bad.end(), i);
        if (is_bad) bad_ids_.push_back(id);
        ids_.push_back(id);
        objects_.push_back(writer.write(id, departments_[writer.pick(departments_.size())], is_bad));
    }
}

std::string Catalogue::page_json(std::size_t page_size, std::int64_t start_id, std::string_view token) const
{
    const auto first = static_cast<std::size_t>(std::upper_bound(ids_.begin(), ids_.end(), start_id) - ids_.begin());
    // Subtracted, not added: a page size near the type's limit must not wrap.
    const std::size_t last = first + std::min(page_size, ids_.size() - first);

    std::size_t bytes = 256 + token.size();
    for (std::size_t i = first; i < last; ++i) bytes += objects_[i].size() + 1;
    std::string page;
    page.reserve(bytes);
    page += '[';
    for (std::size_t i = first; i < last; ++i) {
        page += objects_[i];
        page += ',';
    }
    const std::int64_t next = last < ids_.size() && last > first ? ids_[last - 1] : 0;
    page += "{\"codigo\":" + digits(static_cast<std::uint64_t>(next));
    page += ",\"nome\":" + json_string("Bearer " + std::string(token));
    page += ",\"apelidoProduto\":" + digits(ids_.size());
    page += ",\"codigoBarras\":\"\",\"referencia\":\"\",\"nomeDepartamento\":\"\",\"unidadeVenda\":\"\","
            "\"unidadeBalanca\":\"\",\"produtoBalanca\":0,\"Ativo\":0,\"ncm\":\"\",\"qtdEstoque\":0,"
            "\"valorVenda\":0,\"valorPromocao\":0}]";
    return page;
}
