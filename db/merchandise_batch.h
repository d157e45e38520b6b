#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "db/firebird/ib_query.h"
#include "db/product_schema.h"

class TdtmApi;

// Up to `capacity` product rows written by one statement, in one round
// trip. For each row, in order and as the statement-by-statement writes do
// it: the department looked up by name (the first row found wins) and,
// when missing, created with the highest code plus one; then the
// merchandise row, every column of the product schema, updated when its
// code exists, inserted otherwise. Every
// value is bound as text in the connection's character set, so the engine
// converts it as it converts a literal. A batch writes all its rows or,
// when it fails, none of them.
class MerchandiseBatch {
public:
    static constexpr int capacity = 50;

    enum class Steps {
        department,  // the product's own data failed after its department was read
        department_and_merchandise,
    };
    struct Row {
        Steps steps = Steps::department_and_merchandise;
        std::u16string department_name;  // upper-cased already
        // The department's code, when an earlier batch of the run looked
        // its name up: the lookup is then spared.
        std::optional<std::u16string> department_code;
        std::int32_t code = 0;  // the lookup key
        MerchandiseValues values;  // the department's code is not used
    };
    struct Written {
        int inserted = 0;
        int updated = 0;
        int departments_created = 0;
        // For each row that looked its department up, in order: the code
        // found or created, as text.
        std::vector<std::u16string> department_codes;
    };

    explicit MerchandiseBatch(TdtmApi& database);

    // The statement compiled; throws the database's error when it cannot be.
    void prepare();
    // At most `capacity` rows. Throws the database's error when they
    // cannot all be written, having written none.
    Written write(const std::vector<Row>& rows);

private:
    std::u16string statement_text() const;
    std::u16string slot_markers(int slot) const;
    std::u16string slot_steps(int slot) const;
    void bind_row(int slot, const Row* row);

    IBQuery query_;
};
