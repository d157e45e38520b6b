#include "support/test_database.h"

#include "db/firebird/client_library.h"
#include "db/firebird/ib_database.h"
#include "db/firebird/ib_query.h"
#include "db/firebird/ib_transaction.h"
#include "db/firebird/isc_api.h"
#include "db/firebird/status_vector.h"
#include "util/utf.h"

namespace {

const std::vector<std::u16string> importer_tables = {
    u"create table Departamentos (cod_dep integer, nom_dep varchar(40), tipo_item varchar(5), com_dep varchar(5))",
    u"create table Mercadorias (cod_red integer not null primary key, nom_mer varchar(50), ape_cup varchar(30),"
    u" cod_bar varchar(30), ref_mer varchar(30), dep_mer integer, uni_mer varchar(5), uni_bal varchar(5),"
    u" pro_balanca char(1), pro_servico char(1), cod_ncm varchar(12), QTD_EST varchar(30), vlr_ven varchar(30),"
    u" pro_ativo char(1))",
};

struct Session {
    explicit Session(const std::string& database_name, const ReadAs& read_as = {})
        : database(ClientLibrary::load()), transaction(database), query(database, transaction, u"qryTest")
    {
        std::vector<std::u16string> params = {u"user_name=SYSDBA", u"password=plumbdoor"};
        if (!read_as.lc_ctype.empty()) params.push_back(u"lc_ctype=" + read_as.lc_ctype);
        database.set_params(std::move(params));
        database.set_text_code_page(read_as.code_page);
        database.set_database_name(utf8_to_utf16(database_name));
        database.connect();
        transaction.start();
    }
    IBDatabase database;
    IBTransaction transaction;
    IBQuery query;
};

}  // namespace

void create_test_database(const std::filesystem::path& file, int sql_dialect, const std::string& default_character_set)
{
    auto library = ClientLibrary::load();
    const auto& api = library->api();
    const std::string create = "CREATE DATABASE '" + file.string() +
                               "' USER 'SYSDBA' PASSWORD 'plumbdoor' PAGE_SIZE 8192" +
                               (default_character_set.empty() ? "" : " DEFAULT CHARACTER SET " + default_character_set);
    isc_db_handle database{};
    isc_tr_handle transaction{};
    StatusVector status;
    if (api.isc_dsql_execute_immediate(status.get(), &database, &transaction, 0, create.c_str(),
                                       static_cast<unsigned short>(sql_dialect), nullptr))
        throw status.error(api);
    StatusVector ignored;
    api.isc_detach_database(ignored.get(), &database);
    execute_statements(file, importer_tables);
}

TestDatabase::TestDatabase(int sql_dialect, const std::string& default_character_set)
    : file(directory.path() / "importador.fdb")
{
    create_test_database(file, sql_dialect, default_character_set);
}

std::u16string TestDatabase::name() const
{
    return utf8_to_utf16(file.string());
}

void execute_statements(const std::string& database, const std::vector<std::u16string>& statements)
{
    Session session(database);
    for (const auto& statement : statements) {
        session.query.replace_text({statement});
        session.query.execute();
    }
    session.transaction.commit();
    session.database.disconnect();
}

std::vector<std::vector<std::u16string>> read_rows(const std::string& database, std::u16string_view select,
                                                   const ReadAs& read_as)
{
    Session session(database, read_as);
    session.query.replace_text({std::u16string(select)});
    session.query.Open();
    std::vector<std::vector<std::u16string>> rows;
    for (; !session.query.Eof(); session.query.Next()) {
        auto& row = rows.emplace_back();
        for (int i = 0; i < session.query.field_count(); ++i) row.push_back(session.query.field(i).AsString());
    }
    session.query.close();
    session.transaction.commit();
    session.database.disconnect();
    return rows;
}
