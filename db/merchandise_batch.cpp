#include "db/merchandise_batch.h"

#include "db/uDtmApi.h"
#include "util/error.h"
#include "util/frmfunckelvo.h"
#include "util/number_text.h"

namespace {

// What a slot asks of the statement: 1 and 2 look the department up
// (and create it), 3 is given its code; 2 and 3 write the merchandise.
constexpr char16_t slot_unused[] = u"0";
constexpr char16_t slot_department[] = u"1";
constexpr char16_t slot_department_and_merchandise[] = u"2";
constexpr char16_t slot_known_department_and_merchandise[] = u"3";

// The department step: its code comes back as text, as the code read by
// the statement-by-statement lookup does, so the merchandise row receives
// the same text to convert (an empty one where the found code is null).
std::u16string department_procedure()
{
    std::u16string columns;
    std::u16string values;
    for (const auto& constant : department_constants) {
        columns += u", " + std::u16string(constant.column);
        values += u", " + Entre_Aspas(std::u16string(constant.value));
    }
    // One line of the procedure a line here.
    // clang-format off
    return u"DECLARE PROCEDURE department (name TYPE OF COLUMN Departamentos.nom_dep)\r\n"
           u"RETURNS (code VARCHAR(32), created SMALLINT) AS\r\n"
           u"DECLARE maximum INTEGER;\r\n"
           u"BEGIN\r\n"
           u"  created = 0;\r\n"
           u"  SELECT FIRST 1 cod_dep FROM Departamentos WHERE nom_dep = :name INTO :code;\r\n"
           u"  IF (ROW_COUNT = 0) THEN BEGIN\r\n"
           u"    SELECT MAX(cod_dep) FROM Departamentos INTO :maximum;\r\n"
           u"    code = COALESCE(maximum, 0) + 1;\r\n"
           u"    INSERT INTO Departamentos (cod_dep, nom_dep" + columns + u") VALUES (:code, :name" + values + u");\r\n"
           u"    created = 1;\r\n"
           u"  END\r\n"
           u"  code = COALESCE(code, '');\r\n"
           u"END\r\n";
    // clang-format on
}

std::u16string slot_name(char16_t kind, int slot)
{
    return std::u16string(1, kind) + integer_to_text(slot);
}

std::u16string value_name(int slot, std::size_t column)
{
    return u"v" + integer_to_text(slot) + u"_" + integer_to_text(static_cast<long long>(column));
}

// An item for each merchandise column, joined by ", "; the department's
// code is left out of the slot's markers, since the statement finds it.
enum class DepartmentCode { included, left_out };
template <typename Item>
std::u16string joined(DepartmentCode department_code, Item item)
{
    std::u16string text;
    for (std::size_t i = 0; i < product_fields.size(); ++i) {
        if (i == department_field && department_code == DepartmentCode::left_out) continue;
        if (!text.empty()) text += u", ";
        text += item(i);
    }
    return text;
}

std::u16string column_name(std::size_t field)
{
    return std::u16string(product_fields[field].column);
}

}  // namespace

MerchandiseBatch::MerchandiseBatch(TdtmApi& database) : query_(database.dtbVardex, database.ibtVardex, u"qryLote") { }

std::u16string MerchandiseBatch::statement_text() const
{
    std::u16string text = u"EXECUTE BLOCK (\r\n";
    for (int slot = 0; slot < capacity; ++slot) {
        text += slot_markers(slot);
        text += slot + 1 < capacity ? u",\r\n" : u")\r\n";
    }
    text += u"RETURNS (inserted INTEGER, updated INTEGER, departments_created INTEGER, department_codes VARCHAR(" +
            integer_to_text(capacity * 33) + u")) AS\r\n";
    text += department_procedure();
    text += u"DECLARE code VARCHAR(32);\r\nDECLARE created SMALLINT;\r\nBEGIN\r\n";
    text += u"  inserted = 0; updated = 0; departments_created = 0; department_codes = '';\r\n";
    for (int slot = 0; slot < capacity; ++slot) text += slot_steps(slot);
    text += u"  SUSPEND;\r\nEND";
    return text;
}

// Each value is declared with its column's type, so that the engine
// converts the bound text as it converts a literal written there.
std::u16string MerchandiseBatch::slot_markers(int slot) const
{
    return slot_name(u'a', slot) + u" SMALLINT = ?, " + slot_name(u'd', slot) +
           u" TYPE OF COLUMN Departamentos.nom_dep = ?, " + slot_name(u'k', slot) + u" VARCHAR(32) = ?, " +
           slot_name(u'c', slot) + u" INTEGER = ?, " + joined(DepartmentCode::left_out, [&](std::size_t i) {
               return value_name(slot, i) + u" TYPE OF COLUMN Mercadorias." + column_name(i) + u" = ?";
           });
}

// The department step, then the merchandise step: the row updated by its
// code, inserted when none was, every column written.
std::u16string MerchandiseBatch::slot_steps(int slot) const
{
    const auto a = slot_name(u'a', slot);
    const auto value = [&](std::size_t i) {
        return i == department_field ? std::u16string(u":code") : u":" + value_name(slot, i);
    };
    const auto assignment = [&](std::size_t i) { return column_name(i) + u" = " + value(i); };
    // One line of the statement a line here.
    // clang-format off
    return u"  IF (" + a + u" > 0) THEN BEGIN\r\n"
           u"    IF (" + a + u" < 3) THEN BEGIN\r\n"
           u"      EXECUTE PROCEDURE department(:" + slot_name(u'd', slot) + u") RETURNING_VALUES :code, :created;\r\n"
           u"      departments_created = departments_created + created;\r\n"
           u"      department_codes = department_codes || code || ';';\r\n"
           u"    END ELSE code = :" + slot_name(u'k', slot) + u";\r\n"
           u"    IF (" + a + u" > 1) THEN BEGIN\r\n"
           u"      UPDATE Mercadorias SET " + joined(DepartmentCode::included, assignment) +
           u" WHERE " + column_name(key_field) + u" = :" + slot_name(u'c', slot) + u";\r\n"
           u"      IF (ROW_COUNT > 0) THEN updated = updated + 1;\r\n"
           u"      ELSE BEGIN\r\n"
           u"        INSERT INTO Mercadorias (" + joined(DepartmentCode::included, column_name) + u") VALUES (" +
           joined(DepartmentCode::included, value) + u");\r\n"
           u"        inserted = inserted + 1;\r\n"
           u"      END\r\n"
           u"    END\r\n"
           u"  END\r\n";
    // clang-format on
}

// A slot's markers, in the statement's order: what the slot asks, the
// department's name, its known code, the lookup code, then the merchandise
// values but the department's code. A slot left unused binds NULLs.
void MerchandiseBatch::bind_row(int slot, const Row* row)
{
    const int markers_per_slot = 4 + static_cast<int>(product_fields.size()) - 1;
    int index = slot * markers_per_slot;
    const auto bind = [&](std::optional<std::u16string_view> value) { query_.set_parameter(index++, value); };
    const bool merchandise = row && row->steps == Steps::department_and_merchandise;
    const bool known = row && row->department_code;
    bind(!row           ? slot_unused
         : !merchandise ? slot_department
         : known        ? slot_known_department_and_merchandise
                        : slot_department_and_merchandise);
    bind(row && !known ? std::optional<std::u16string_view>(row->department_name) : std::nullopt);
    bind(known ? std::optional<std::u16string_view>(*row->department_code) : std::nullopt);
    const std::u16string lookup_code = merchandise ? integer_to_text(row->code) : std::u16string();
    bind(merchandise ? std::optional<std::u16string_view>(lookup_code) : std::nullopt);
    for (std::size_t i = 0; i < product_fields.size(); ++i) {
        if (i == department_field) continue;
        bind(merchandise ? std::optional<std::u16string_view>(row->values[i]) : std::nullopt);
    }
}

void MerchandiseBatch::prepare()
{
    if (query_.prepared()) return;
    query_.replace_text({statement_text()});
    query_.parameter_count();  // described once, with the statement
}

MerchandiseBatch::Written MerchandiseBatch::write(const std::vector<Row>& rows)
{
    if (rows.size() > static_cast<std::size_t>(capacity)) throw Error(u"qryLote: too many rows");
    prepare();
    for (int slot = 0; slot < capacity; ++slot)
        bind_row(slot, slot < static_cast<int>(rows.size()) ? &rows[slot] : nullptr);
    query_.open_single_row();
    Written written{.inserted = query_.FieldByName(u"inserted").AsInteger(),
                    .updated = query_.FieldByName(u"updated").AsInteger(),
                    .departments_created = query_.FieldByName(u"departments_created").AsInteger(),
                    .department_codes = {}};
    const std::u16string codes = query_.FieldByName(u"department_codes").AsString();
    for (std::size_t start = 0, end; (end = codes.find(u';', start)) != std::u16string::npos; start = end + 1)
        written.department_codes.push_back(codes.substr(start, end - start));
    query_.close();
    return written;
}
