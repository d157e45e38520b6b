#include "db/firebird/ib_database.h"

#include <algorithm>

#include "db/firebird/client_library.h"
#include "db/firebird/database_parameters.h"
#include "db/firebird/ib_query.h"
#include "db/firebird/ib_transaction.h"
#include "db/firebird/status_vector.h"
#include "util/ansi_codepage.h"
#include "util/error.h"

IBDatabase::IBDatabase(std::shared_ptr<const ClientLibrary> library) : library_(std::move(library)) { }

IBDatabase::~IBDatabase()
{
    for (auto* query : queries_) query->forget_handles();
    for (auto* transaction : transactions_) transaction->rollback_quietly();
    detach_quietly();
}

const IscApi& IBDatabase::api() const
{
    return library_->api();
}

void IBDatabase::set_database_name(std::u16string name)
{
    if (connected()) throw Error(u"Cannot perform operation -- DB is currently open");
    database_name_ = std::move(name);
}

void IBDatabase::set_text_code_page(std::optional<AnsiCodePage> code_page)
{
    if (connected()) throw Error(u"Cannot perform operation -- DB is currently open");
    text_code_page_ = std::move(code_page);
}

const AnsiCodePage& IBDatabase::text_code_page() const
{
    return text_code_page_ ? *text_code_page_ : AnsiCodePage::system();
}

void IBDatabase::connect()
{
    if (connected()) return;
    if (database_name_.empty()) throw Error(u"Database name is missing");
    const auto dpb = database_parameter_buffer(params_);
    const auto name = AnsiCodePage::system().encode(database_name_);
    StatusVector status;
    if (api().isc_attach_database(status.get(), static_cast<short>(name.size()), name.c_str(), &handle_,
                                  static_cast<short>(dpb.size()), dpb.c_str())) {
        handle_ = IscHandle{};
        raise(status, true);
    }
    try {
        read_sql_dialect();
    } catch (...) {
        detach_quietly();
        throw;
    }
}

void IBDatabase::read_sql_dialect()
{
    const ISC_SCHAR items[] = {isc_info_db_sql_dialect, isc_info_end};
    ISC_SCHAR answer[32] = {};
    StatusVector status;
    if (api().isc_database_info(status.get(), &handle_, sizeof items, items, sizeof answer, answer))
        raise(status, true);
    int database_dialect = 1;  // an answer without the item comes from a dialect 1 server
    if (answer[0] == isc_info_db_sql_dialect) {
        const auto length = static_cast<short>(api().isc_vax_integer(answer + 1, 2));
        if (length > 0 && length <= static_cast<short>(sizeof answer) - 3)
            database_dialect =
                static_cast<int>(api().isc_portable_integer(reinterpret_cast<const ISC_UCHAR*>(answer + 3), length));
    }
    sql_dialect_ = std::min(sql_dialect_, database_dialect);
}

void IBDatabase::disconnect()
{
    if (!connected()) return;
    for (auto* query : queries_) query->release();
    for (auto* transaction : transactions_) transaction->end_at_disconnect();
    StatusVector status;
    if (api().isc_detach_database(status.get(), &handle_)) raise(status, true);
    handle_ = IscHandle{};
}

void IBDatabase::close_data_sets()
{
    for (auto* query : queries_) query->close();
}

void IBDatabase::raise(const StatusVector& status, bool connection_call)
{
    auto error = status.error(api());
    if (status.connection_lost() || (connection_call && status.network_failed())) drop_connection();
    throw error;
}

void IBDatabase::drop_connection() noexcept
{
    for (auto* query : queries_) query->forget_handles();
    for (auto* transaction : transactions_) transaction->forget_handle();
    handle_ = IscHandle{};
}

void IBDatabase::detach_quietly() noexcept
{
    if (!connected()) return;
    StatusVector status;
    api().isc_detach_database(status.get(), &handle_);
    handle_ = IscHandle{};
}
