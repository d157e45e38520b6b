#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// A made-up product catalogue, the same for the same options.
struct CatalogueOptions {
    std::size_t products = 100;
    std::size_t departments = 5;
    std::size_t bad = 0;  // products the database refuses (unidadeBalanca too long)
    std::uint32_t seed = 1;
};

class Catalogue {
public:
    explicit Catalogue(const CatalogueOptions& options = {});

    std::size_t size() const { return ids_.size(); }
    std::int64_t id_at(std::size_t index) const { return ids_[index]; }
    // One product as a JSON object, as the service sends it.
    const std::string& product_json(std::size_t index) const { return objects_[index]; }
    const std::vector<std::string>& department_names() const { return departments_; }
    const std::vector<std::int64_t>& bad_ids() const { return bad_ids_; }

    // The products with an id above start_id, at most page_size of them, and
    // at the end the control record: codigo the next start id (0 on the last
    // page), nome "Bearer " + token, apelidoProduto the total count.
    std::string page_json(std::size_t page_size, std::int64_t start_id, std::string_view token) const;

private:
    std::vector<std::int64_t> ids_;
    std::vector<std::string> objects_;
    std::vector<std::string> departments_;
    std::vector<std::int64_t> bad_ids_;
};

// Text as a JSON string literal, quotes included.
std::string json_string(std::string_view utf8);
