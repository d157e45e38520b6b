#pragma once

#include "tools/bench/imported_products.h"
#include "tools/bench/replay_script.h"

#include <cstddef>
#include <memory>
#include <string>

class ClientLibrary;

// The schema's tables again under a "Carga_" prefix: where the rows wait,
// written in advance, for the engine to copy them.
std::string staging_schema(const std::string& schema);

// The rows the importer writes, written by the engine with nothing of the
// importer around it: the floor its times are measured against. Databases
// are named as the client library takes them (a file, or host/port:file)
// and have the schema's tables and the staging ones. Times leave out the
// attach and the detach.
class EngineFloor {
public:
    explicit EngineFloor(const ImportedPages& pages);
    ~EngineFloor();
    EngineFloor(const EngineFloor&) = delete;
    EngineFloor& operator=(const EngineFloor&) = delete;

    // Untimed: every row into the staging tables, committed.
    void load_staging(const std::string& database) const;
    // Seconds of the two statements that bring Departamentos and
    // Mercadorias level with the staging tables, and their commit: all
    // inserts on the first run, all updates on the next.
    double write_from_staging(const std::string& database) const;
    // Seconds of one prepared INSERT per row (and per new department), or
    // one prepared UPDATE per row for a re-import, with a commit every
    // `commit_every` rows and at the end.
    double write_row_by_row(const std::string& database, ImportKind kind, std::size_t commit_every) const;

private:
    const ImportedPages& pages_;
    std::vector<std::u16string> columns_;  // Mercadorias's, in the schema's order
    std::shared_ptr<const ClientLibrary> library_;
};
