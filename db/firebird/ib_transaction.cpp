#include "db/firebird/ib_transaction.h"

#include <algorithm>
#include <cstdint>

#include "db/firebird/ib_database.h"
#include "db/firebird/ib_query.h"
#include "db/firebird/status_vector.h"
#include "util/error.h"

namespace {

// One entry of isc_start_multiple's vector, laid out as the client library
// reads it.
struct TransactionExistenceBlock {
    isc_db_handle* database;
    int tpb_length;
    const ISC_UCHAR* tpb;
};

}  // namespace

IBTransaction::IBTransaction(IBDatabase& database, TransactionAction default_action)
    : database_(database), default_action_(default_action)
{
    database_.transactions_.push_back(this);
}

IBTransaction::~IBTransaction()
{
    rollback_quietly();
    std::erase(database_.transactions_, this);
}

void IBTransaction::start()
{
    if (active()) throw Error(u"Transaction is active");
    if (!database_.connected()) throw Error(u"Cannot perform operation -- DB is not open");
    const std::string tpb = parameter_buffer();
    TransactionExistenceBlock teb{database_.handle(), static_cast<int>(tpb.size()),
                                  reinterpret_cast<const ISC_UCHAR*>(tpb.data())};
    StatusVector status;
    if (database_.api().isc_start_multiple(status.get(), &handle_, 1, &teb)) {
        handle_ = IscHandle{};
        database_.raise(status);
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
    StatusVector status;
    if (database_.api().isc_commit_retaining(status.get(), &handle_)) database_.raise(status);
}

void IBTransaction::rollback_retaining()
{
    check_active();
    if (!database_.api().isc_rollback_retaining)
        throw Error(u"isc_rollback_retaining is an InterBase 6 function. "
                    u"Please upgrade to InterBase 6 to use this functonality");
    StatusVector status;
    if (database_.api().isc_rollback_retaining(status.get(), &handle_)) database_.raise(status);
}

void IBTransaction::release_queries()
{
    for (auto* query : queries_) query->release();
}

void IBTransaction::commit()
{
    check_active();
    release_queries();
    StatusVector status;
    if (database_.api().isc_commit_transaction(status.get(), &handle_)) database_.raise(status);
    handle_ = IscHandle{};
}

void IBTransaction::rollback()
{
    check_active();
    release_queries();
    StatusVector status;
    if (database_.api().isc_rollback_transaction(status.get(), &handle_)) database_.raise(status);
    handle_ = IscHandle{};
}

void IBTransaction::make_inactive()
{
    if (active()) rollback();
}

void IBTransaction::end_at_disconnect() noexcept
{
    if (!active()) return;
    const bool commits =
        default_action_ == TransactionAction::commit || default_action_ == TransactionAction::commit_retaining;
    StatusVector status;
    if (!commits || database_.api().isc_commit_transaction(status.get(), &handle_)) rollback_quietly();
    handle_ = IscHandle{};
}

void IBTransaction::rollback_quietly() noexcept
{
    if (!active()) return;
    StatusVector status;
    database_.api().isc_rollback_transaction(status.get(), &handle_);
    handle_ = IscHandle{};
}
