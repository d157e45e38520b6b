#include "sync/product_writer.h"

#include "db/uDtmApi.h"
#include "sync/batch_writer.h"
#include "sync/run_events.h"
#include "sync/run_report.h"
#include "sync/statement_writer.h"
#include "util/error.h"

#include <cstdlib>
#include <string_view>

WritePath write_path_of_environment()
{
    const char* chosen = std::getenv("IMPORTADOR_WRITE_PATH");
    return chosen && std::string_view(chosen) == "statements" ? WritePath::statements : WritePath::batches;
}

std::unique_ptr<ProductWriter> make_product_writer(WritePath path, const WriteContext& context)
{
    if (path == WritePath::statements) return std::make_unique<StatementWriter>(context);
    return std::make_unique<BatchWriter>(context);
}

// A connection drops only on failures that are transient themselves; once
// it is gone, every later call fails with a text that says nothing of the
// product.
WriteFailure classify(const std::exception& failure, const TdtmApi& database)
{
    if (!database.connected()) return WriteFailure::connection_gone;
    return TdtmApi::failure_may_pass(failure) ? WriteFailure::transient : WriteFailure::product;
}

void throw_interrupted_write(const std::exception& failure, const std::u16string& codigo)
{
    throw InterruptedWrite{codigo, message_of(failure)};
}

void skip_or_interrupt(const WriteContext& context, const std::exception& failure, const std::u16string& codigo)
{
    if (classify(failure, context.database) != WriteFailure::product) throw_interrupted_write(failure, codigo);
    skip_product(context, codigo, message_of(failure));
}

void skip_product(const WriteContext& context, const std::u16string& codigo, const std::u16string& reason)
{
    ++context.page.skipped;
    context.report.report(u"Produto " + codigo + u" ignorado: " + reason);
    context.events.show_skipped({codigo, reason});
}
