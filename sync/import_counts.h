#pragma once

// What an import wrote: per page until its commit, then for the run.
struct ImportCounts {
    int pages = 0;
    int inserted = 0;
    int updated = 0;
    int skipped = 0;
    int departments_created = 0;

    ImportCounts& operator+=(const ImportCounts& other)
    {
        pages += other.pages;
        inserted += other.inserted;
        updated += other.updated;
        skipped += other.skipped;
        departments_created += other.departments_created;
        return *this;
    }
};
