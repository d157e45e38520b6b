#include "db/product_schema.h"

std::vector<std::u16string> merchandise_pair_list(const MerchandiseValues& values)
{
    std::vector<std::u16string> mDados;
    mDados.reserve(2 * product_fields.size());
    for (std::size_t i = 0; i < product_fields.size(); ++i) {
        mDados.emplace_back(product_fields[i].column);
        mDados.push_back(values[i]);
    }
    return mDados;
}

std::vector<std::u16string> department_pair_list(std::u16string_view code, std::u16string_view name)
{
    std::vector<std::u16string> mDados{u"cod_dep", std::u16string(code), u"nom_dep", std::u16string(name)};
    for (const auto& constant : department_constants) {
        mDados.emplace_back(constant.column);
        mDados.emplace_back(constant.value);
    }
    return mDados;
}
