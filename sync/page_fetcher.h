#pragma once

#include "sync/products_page.h"

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <thread>

struct RunRequest;
class Tger_API;

// Ahead, the next page is fetched while the one before it is written;
// serial, when the loop asks for it (IMPORTADOR_FETCH_AHEAD=0).
enum class FetchMode { serial, ahead };
FetchMode fetch_mode_of_environment();

// Fetches a run's products pages: each one's status probe, the page, its
// table and what its rows say, in that order. Ahead, every page is fetched
// on a thread of its own, one at a time, while the loop writes the page it
// took before, so no more than two pages are held. That thread has a
// ger_API of its own and touches nothing else: the database, the report,
// the shell and the loop's ger_API stay with the loop. Its stop also ends
// the request in flight.
class PageFetcher {
public:
    // The client is made from `api` for `request`'s run; `api` takes over
    // where its status back-off stands once it is stopped.
    PageFetcher(Tger_API& api, const RunRequest& request, FetchMode mode);
    // Stops, as stop() does.
    ~PageFetcher();
    PageFetcher(const PageFetcher&) = delete;
    PageFetcher& operator=(const PageFetcher&) = delete;

    // Starts fetching the page at `start_id` while the caller goes on; a
    // serial fetcher leaves it to take().
    void fetch_ahead(std::u16string_view selection, std::int32_t start_id);
    // The page at `start_id`: the one fetched ahead, or else fetched now.
    // What its fetch threw is thrown here.
    ProductsPage take(std::u16string_view selection, std::int32_t start_id);
    // Waits for a fetch under way and drops its page.
    void drop();
    // Once the run's outcome is decided: a fetch under way is cut off and
    // its page dropped unwritten, and the thread ends. Nothing is fetched
    // ahead after it.
    void stop() noexcept;

private:
    enum class Ahead { none, asked, fetching, fetched };
    struct Fetched {
        std::optional<ProductsPage> page;
        std::exception_ptr failure;  // what the fetch threw instead of answering
    };

    bool is_ahead(std::u16string_view selection, std::int32_t start_id);
    void ask(std::u16string_view selection, std::int32_t start_id);
    Fetched wait_for_ahead();
    void work(const std::stop_token& stop);
    Fetched fetch(const std::u16string& selection, std::int32_t start_id) noexcept;
    static ProductsPage handed_over(Fetched fetched);
    bool start_worker() noexcept;

    Tger_API& api_;
    const std::unique_ptr<Tger_API> client_;  // the fetching thread's alone
    const FetchMode mode_;
    std::mutex mutex_;
    std::condition_variable_any changed_;
    Ahead ahead_state_ = Ahead::none;
    std::int32_t ahead_start_id_ = 0;
    std::u16string ahead_selection_;
    Fetched ahead_;
    bool stopped_ = false;
    std::jthread worker_;
};
