#include "db/firebird/ib_field.h"

#include "db/firebird/column_value.h"
#include "db/firebird/sql_descriptor_area.h"

std::u16string IBField::AsString() const
{
    return columns_ ? column_text(columns_->column(index_), columns_->code_page()) : std::u16string();
}

std::int32_t IBField::AsInteger() const
{
    return columns_ ? column_integer(columns_->column(index_), columns_->code_page()) : 0;
}

bool IBField::IsNull() const
{
    if (!columns_) return true;
    const auto& column = columns_->column(index_);
    return (column.sqltype & 1) && column.sqlind && *column.sqlind == -1;
}
