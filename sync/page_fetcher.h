#pragma once

#include "api/memory_table.h"

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <mutex>
#include <stop_token>
#include <string>
#include <string_view>
#include <thread>
#include <utility>

class Tger_API;

// A products page as the service answered it.
struct ProductsPage {
    explicit ProductsPage(std::u16string table_name) : table(std::move(table_name)) { }

    std::int32_t start_id = 0;
    std::u16string answer;  // "OK", or the error text that ends the run
    MemoryTable table;  // the rows, when the answer is "OK"
    std::exception_ptr failure;  // what the fetch threw instead of answering
};

// Ahead, the next page is fetched while the one before it is written;
// serial, when the loop asks for it (IMPORTADOR_FETCH_AHEAD=0).
enum class FetchMode { serial, ahead };
FetchMode fetch_mode_of_environment();

// Fetches a run's products pages: each one's status probe, the page, its
// table and the check of its control records, in that order. Ahead, at most
// one page is fetched at a time on a thread of its own, while the loop
// writes the page it took before, so no more than two pages are held. That
// thread uses ger_API and nothing else: the database, the report and the
// shell stay with the loop. While the thread lives, its stop also ends
// ger_API's request in flight.
class PageFetcher {
public:
    PageFetcher(Tger_API& api, FetchMode mode);
    // Stops, as stop() does.
    ~PageFetcher();
    PageFetcher(const PageFetcher&) = delete;
    PageFetcher& operator=(const PageFetcher&) = delete;

    // Starts fetching the page at `start_id` while the caller goes on; a
    // serial fetcher leaves it to take().
    void fetch_ahead(std::u16string_view selection, std::int32_t start_id);
    // The page at `start_id`, kept until the next take: the one fetched
    // ahead, or else fetched now. What its fetch threw is thrown here.
    ProductsPage& take(std::u16string_view selection, std::int32_t start_id);
    // Waits for a fetch under way, so that ger_API is free, and drops its page.
    void drop();
    // Once the run's outcome is decided: a fetch under way is cut off and
    // its page dropped unwritten, and the thread ends. Nothing is fetched
    // ahead after it.
    void stop() noexcept;

private:
    enum class Ahead { none, asked, fetching, fetched };

    void work(const std::stop_token& stop);
    void fetch(ProductsPage& page, const std::u16string& selection) noexcept;
    bool start_worker() noexcept;

    Tger_API& api_;
    const FetchMode mode_;
    ProductsPage taken_;  // the loop's
    ProductsPage ahead_;  // the worker's while asked or fetching
    std::u16string ahead_selection_;
    std::mutex mutex_;
    std::condition_variable_any changed_;
    Ahead ahead_state_ = Ahead::none;
    bool stopped_ = false;
    std::jthread worker_;
};
