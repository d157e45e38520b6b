#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sync/product_writer.h"

// The reference route: each product through its own statements, the
// department looked up (and created) by name, then the merchandise row
// updated by its code or inserted.
class StatementWriter : public ProductWriter {
public:
    explicit StatementWriter(const WriteContext& context) : context_(context) { }

    void write(ProductRow row) override;
    void flush() override { }
    void discard() noexcept override { }

    // The department's code as text, created with the highest code plus one
    // when no department has the name.
    std::u16string Sinc_Departamento(const std::u16string& strnomeDep);
    // Never fails for the product's own data: that skips it.
    void Sinc_At_Mercadorias(std::int32_t codIn, const std::vector<std::u16string>& mDados);

private:
    WriteContext context_;
};
