#include "tools/bench/engine_floor.h"

#include "db/firebird/client_library.h"
#include "db/firebird/ib_database.h"
#include "db/firebird/ib_query.h"
#include "db/firebird/ib_transaction.h"
#include "util/utf.h"

#include <chrono>
#include <stdexcept>

namespace {

const std::u16string staging_prefix = u"Carga_";

struct Connection {
    Connection(std::shared_ptr<const ClientLibrary> library, const std::string& name)
        : database(std::move(library)), transaction(database)
    {
        database.set_params({u"user_name=SYSDBA", u"password=plumbdoor"});
        database.set_database_name(utf8_to_utf16(name));
        database.connect();
        transaction.start();
    }
    IBDatabase database;
    IBTransaction transaction;
};

template <typename Item>
std::u16string joined(const std::vector<std::u16string>& items, Item item, std::size_t from = 0)
{
    std::u16string text;
    for (std::size_t i = from; i < items.size(); ++i) {
        if (i > from) text += u", ";
        text += item(items[i]);
    }
    return text;
}

std::u16string same(const std::u16string& name)
{
    return name;
}

std::u16string insert_text(const std::u16string& table, const std::vector<std::u16string>& columns)
{
    return u"INSERT INTO " + table + u" (" + joined(columns, same) + u") VALUES (" +
           joined(columns, [](const std::u16string&) { return std::u16string(u"?"); }) + u")";
}

// The key leads the merchandise columns: in an update, it is the last marker.
static_assert(key_field == 0);

std::vector<std::u16string> merchandise_columns()
{
    std::vector<std::u16string> columns;
    for (const auto& field : product_fields) columns.emplace_back(field.column);
    return columns;
}

// The department's code and name, then its constant columns.
std::vector<std::u16string> department_columns()
{
    std::vector<std::u16string> columns{u"cod_dep", u"nom_dep"};
    for (const auto& constant : department_constants) columns.emplace_back(constant.column);
    return columns;
}

std::u16string update_text(const std::vector<std::u16string>& columns)
{
    const auto assignment = [](const std::u16string& c) { return c + u" = ?"; };
    return u"UPDATE Mercadorias SET " + joined(columns, assignment, 1) + u" WHERE " + columns.front() + u" = ?";
}

const auto source = [](const std::u16string& c) { return u"s." + c; };

// The importer looks departments up by name, and a product up by its code.
std::u16string merge_departments()
{
    const auto columns = department_columns();
    return u"MERGE INTO Departamentos d USING Carga_Departamentos s ON d.nom_dep = s.nom_dep "
           u"WHEN NOT MATCHED THEN INSERT (" +
           joined(columns, same) + u") VALUES (" + joined(columns, source) + u")";
}

std::u16string merge_merchandise(const std::vector<std::u16string>& columns)
{
    const auto assignment = [](const std::u16string& c) { return c + u" = s." + c; };
    const std::u16string& key = columns.front();
    return u"MERGE INTO Mercadorias m USING Carga_Mercadorias s ON m." + key + u" = s." + key +
           u" WHEN MATCHED THEN UPDATE SET " + joined(columns, assignment, 1) + u" WHEN NOT MATCHED THEN INSERT (" +
           joined(columns, same) + u") VALUES (" + joined(columns, source) + u")";
}

// The values from `first` on, to the first markers; the index of the next
// marker.
int bind_values(IBQuery& query, const MerchandiseValues& values, std::size_t first)
{
    int index = 0;
    for (std::size_t i = first; i < values.size(); ++i) query.set_parameter(index++, values[i]);
    return index;
}

void execute_department(IBQuery& query, const ImportedProduct& product)
{
    int index = 0;
    query.set_parameter(index++, product.department_code);
    query.set_parameter(index++, product.department_name);
    for (const auto& constant : department_constants) query.set_parameter(index++, constant.value);
    query.execute();
}

void execute_merchandise(IBQuery& query, const ImportedProduct& product, ImportKind kind)
{
    if (kind == ImportKind::first_import)
        bind_values(query, product.values, 0);
    else
        query.set_parameter(bind_values(query, product.values, key_field + 1), product.code);
    query.execute();
}

void write_rows(Connection& connection, const ImportedPages& pages, const std::vector<std::u16string>& columns,
                const std::u16string& table_prefix, ImportKind kind, std::size_t commit_every)
{
    IBQuery departments(connection.database, connection.transaction, u"qryDepartments");
    IBQuery merchandise(connection.database, connection.transaction, u"qryMerchandise");
    const bool inserting = kind == ImportKind::first_import;
    departments.replace_text({insert_text(table_prefix + u"Departamentos", department_columns())});
    merchandise.replace_text({inserting ? insert_text(table_prefix + u"Mercadorias", columns) : update_text(columns)});
    std::size_t written = 0;
    for (const auto& page : pages) {
        for (const auto& product : page) {
            if (inserting && product.first_of_department) execute_department(departments, product);
            execute_merchandise(merchandise, product, kind);
            if (++written % commit_every == 0) connection.transaction.commit_retaining();
        }
    }
    connection.transaction.commit_retaining();
}

double seconds_since(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

std::string staging_schema(const std::string& schema)
{
    std::string staging = schema;
    for (const std::string table : {"Departamentos", "Mercadorias"}) {
        const std::string created = "create table " + table;
        const auto at = staging.find(created);
        if (at == std::string::npos) throw std::runtime_error("the schema has no \"" + created + "\"");
        staging.insert(at + created.size() - table.size(), "Carga_");
    }
    return staging;
}

EngineFloor::EngineFloor(const ImportedPages& pages)
    : pages_(pages), columns_(merchandise_columns()), library_(ClientLibrary::load())
{
}

EngineFloor::~EngineFloor() = default;

void EngineFloor::load_staging(const std::string& database) const
{
    Connection connection(library_, database);
    write_rows(connection, pages_, columns_, staging_prefix, ImportKind::first_import, 5000);
}

double EngineFloor::write_from_staging(const std::string& database) const
{
    Connection connection(library_, database);
    IBQuery departments(connection.database, connection.transaction, u"qryDepartments");
    IBQuery merchandise(connection.database, connection.transaction, u"qryMerchandise");
    departments.replace_text({merge_departments()});
    merchandise.replace_text({merge_merchandise(columns_)});
    const auto start = std::chrono::steady_clock::now();
    departments.execute();
    merchandise.execute();
    connection.transaction.commit();
    return seconds_since(start);
}

double EngineFloor::write_row_by_row(const std::string& database, ImportKind kind, std::size_t commit_every) const
{
    Connection connection(library_, database);
    const auto start = std::chrono::steady_clock::now();
    write_rows(connection, pages_, columns_, {}, kind, commit_every);
    return seconds_since(start);
}
