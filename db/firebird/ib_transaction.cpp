#include "db/firebird/ib_transaction.h"

#include <cstdint>

#include "db/firebird/attachment.h"
#include "db/firebird/ib_database.h"
#include "util/error.h"

namespace {

// One entry of isc_start_multiple's vector, laid out as the client library
// reads it.
struct TransactionExistenceBlock {
    isc_db_handle* database;
    int tpb_length;
    const ISC_UCHAR* tpb;
};

bool commits(TransactionAction action)
{
    return action == TransactionAction::commit || action == TransactionAction::commit_retaining;
}

}  // namespace

IBTransaction::IBTransaction(IBDatabase& database, TransactionAction default_action)
    : attachment_(database.attachment()),
      default_action_(default_action),
      handle_(attachment_->add_transaction(commits(default_action)))
{
}

IBTransaction::~IBTransaction()
{
    attachment_->rollback_quietly(*handle_);
}

bool IBTransaction::active() const
{
    return handle_->handle != IscHandle{};
}

void IBTransaction::start()
{
    if (active()) throw Error(u"Transaction is active");
    if (!attachment_->attached()) throw Error(u"Cannot perform operation -- DB is not open");
    const std::string tpb = parameter_buffer();
    TransactionExistenceBlock teb{attachment_->handle(), static_cast<int>(tpb.size()),
                                  reinterpret_cast<const ISC_UCHAR*>(tpb.data())};
    try {
        attachment_->call(&IscApi::isc_start_multiple, &handle_->handle, static_cast<short>(1), &teb);
    } catch (...) {
        handle_->handle = IscHandle{};
        throw;
    }
}

// Empty: the engine's defaults (concurrency, write, wait). With a lock
// timeout, the same spelled out and the timeout added.
std::string IBTransaction::parameter_buffer() const
{
    if (!lock_timeout_) return {};
    constexpr char version3 = 3, concurrency = 2, wait = 6, write = 9, lock_timeout = 21;
    std::string tpb = {version3, concurrency, write, wait, lock_timeout, 4};
    const auto seconds = static_cast<std::uint32_t>(*lock_timeout_);
    for (int shift = 0; shift < 32; shift += 8) tpb += static_cast<char>((seconds >> shift) & 0xFF);
    return tpb;
}

void IBTransaction::check_active() const
{
    if (!active()) throw Error(u"Transaction is not active");
}

void IBTransaction::commit_retaining()
{
    check_active();
    attachment_->call(&IscApi::isc_commit_retaining, &handle_->handle);
}

void IBTransaction::rollback_retaining()
{
    check_active();
    if (!attachment_->api().isc_rollback_retaining)
        throw Error(u"isc_rollback_retaining is an InterBase 6 function. "
                    u"Please upgrade to InterBase 6 to use this functonality");
    attachment_->call(&IscApi::isc_rollback_retaining, &handle_->handle);
}

template <typename Entry> void IBTransaction::end(Entry entry)
{
    check_active();
    attachment_->drop_statements_of(*handle_);
    attachment_->call(entry, &handle_->handle);
    handle_->handle = IscHandle{};
}

void IBTransaction::commit()
{
    end(&IscApi::isc_commit_transaction);
}

void IBTransaction::rollback()
{
    end(&IscApi::isc_rollback_transaction);
}

void IBTransaction::make_inactive()
{
    if (active()) rollback();
}
