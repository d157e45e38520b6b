#include "sync/products_page.h"

#include "sync/outcome_texts.h"
#include "util/number_text.h"

std::optional<std::u16string> ProductsPage::ending() const
{
    if (!std::holds_alternative<PageRows>(answer)) return answer_text(answer, integer_to_text(start_id));
    if (facts.foreign_control_record) return foreign_control_record_text(start_id);
    return std::nullopt;
}
