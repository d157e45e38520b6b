#pragma once

#include <string>

#include "sync/import_counts.h"

// Where a run stands: told before each page is asked for, before it is
// written, and once it is committed.
struct RunProgress {
    enum class Step { querying_service, writing_page, page_committed };
    Step step = Step::querying_service;
    int page = 0;  // the page asked for, written or committed, from 1
    ImportCounts committed;  // what the committed pages hold
};

// A product left out of the database for its own data, as the log tells it.
struct SkippedProduct {
    std::u16string codigo;
    std::u16string reason;
};

// How a run ended, as its result file is about to say.
struct RunEnd {
    std::u16string outcome;  // the result file's text
    bool imported = false;  // the whole catalogue is in and confirmed
    ImportCounts committed;
};

// What a run tells whoever shows it. Called on the run's own thread.
class RunEvents {
public:
    virtual ~RunEvents() = default;
    virtual void show_progress(const RunProgress& progress) = 0;
    virtual void show_skipped(const SkippedProduct& product) = 0;
    virtual void show_outcome(const RunEnd& end) = 0;
};
