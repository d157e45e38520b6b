#include "db/firebird/ib_database.h"

#include "db/firebird/attachment.h"
#include "db/firebird/database_parameters.h"
#include "util/error.h"

IBDatabase::IBDatabase(std::shared_ptr<const ClientLibrary> library)
    : attachment_(std::make_shared<Attachment>(std::move(library)))
{
}

IBDatabase::~IBDatabase()
{
    attachment_->abandon();
}

bool IBDatabase::connected() const
{
    return attachment_->attached();
}

void IBDatabase::set_database_name(std::u16string name)
{
    if (connected()) throw Error(u"Cannot perform operation -- DB is currently open");
    database_name_ = std::move(name);
}

void IBDatabase::set_text_code_page(std::optional<AnsiCodePage> code_page)
{
    if (connected()) throw Error(u"Cannot perform operation -- DB is currently open");
    attachment_->set_text_code_page(std::move(code_page));
}

const AnsiCodePage& IBDatabase::text_code_page() const
{
    return attachment_->text_code_page();
}

void IBDatabase::set_parameter_character_set(short id)
{
    attachment_->set_parameter_character_set(id);
}

short IBDatabase::parameter_character_set() const
{
    return attachment_->parameter_character_set();
}

int IBDatabase::sql_dialect() const
{
    return attachment_->sql_dialect();
}

void IBDatabase::connect()
{
    if (connected()) return;
    if (database_name_.empty()) throw Error(u"Database name is missing");
    attachment_->attach(AnsiCodePage::system().encode(database_name_), database_parameter_buffer(params_));
    try {
        read_sql_dialect();
    } catch (...) {
        attachment_->abandon();
        throw;
    }
}

void IBDatabase::read_sql_dialect()
{
    const ISC_SCHAR items[] = {isc_info_db_sql_dialect, isc_info_end};
    ISC_SCHAR answer[32] = {};
    attachment_->call(&IscApi::isc_database_info, attachment_->handle(), static_cast<short>(sizeof items), items,
                      static_cast<short>(sizeof answer), answer);
    // An answer without the item comes from a dialect 1 server.
    attachment_->lower_sql_dialect(attachment_->info_value(answer, sizeof answer, isc_info_db_sql_dialect, 1));
}

void IBDatabase::disconnect()
{
    attachment_->detach();
}

void IBDatabase::close_data_sets()
{
    attachment_->close_every_cursor();
}
