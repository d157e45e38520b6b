#pragma once

#include <exception>
#include <memory>
#include <string>

#include "sync/import_counts.h"
#include "sync/product_row.h"

class RunEvents;
class RunReport;
class TdtmApi;

// How the products reached the database in a run: what the differential
// tests hold the batch route to.
struct WriteRoutes {
    int batches = 0;  // written whole
    int refused_batches = 0;  // their products then written by statements
    int products_by_batch = 0;
    int products_by_statements = 0;
};

// What a writer shares with the import loop.
struct WriteContext {
    TdtmApi& database;
    RunReport& report;
    RunEvents& events;  // told of each skipped product
    ImportCounts& page;  // the page being written, until its commit
    WriteRoutes& routes;  // the run's
};

// Writes a page's product rows into the open transaction; the loop commits.
// A product whose own data fails is skipped and reported; a failure that
// may pass throws InterruptedWrite.
class ProductWriter {
public:
    virtual ~ProductWriter() = default;
    // Written now, or held until flush().
    virtual void write(ProductRow row) = 0;
    // Writes what is held: at the page's end, and before a failure ends the run.
    virtual void flush() = 0;
    // The page is given up: what is held and what was learnt from it goes.
    virtual void discard() noexcept = 0;
};

// How product rows reach the database: many to a statement, or each
// through its own statements (the reference the batches match).
enum class WritePath { batches, statements };
// IMPORTADOR_WRITE_PATH=statements chooses the statements; anything else
// the batches.
WritePath write_path_of_environment();

std::unique_ptr<ProductWriter> make_product_writer(WritePath path, const WriteContext& context);

// A product write that failed for a reason that may pass (a lock, a lost
// connection): skipping the product would lose it for good, since the page
// would be committed and confirmed. The page is given up instead.
struct InterruptedWrite {
    std::u16string codigo;
    std::u16string message;
};

enum class WriteFailure {
    product,  // the product's own data: skip it
    transient,  // may pass: give the page up
    connection_gone,  // transient, and nothing more can be sent
};
WriteFailure classify(const std::exception& failure, const TdtmApi& database);

// Gives the page up on a failure that may pass; otherwise the product is
// skipped and reported.
void skip_or_interrupt(const WriteContext& context, const std::exception& failure, const std::u16string& codigo);
[[noreturn]] void throw_interrupted_write(const std::exception& failure, const std::u16string& codigo);
void skip_product(const WriteContext& context, const std::u16string& codigo, const std::u16string& reason);
