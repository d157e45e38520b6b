#include "sync/page_fetcher.h"

#include "api/uGer_API.h"
#include "util/number_text.h"
#include "util/request_file.h"

#include <cstdlib>
#include <system_error>
#include <utility>

FetchMode fetch_mode_of_environment()
{
    const char* chosen = std::getenv("IMPORTADOR_FETCH_AHEAD");
    return chosen && std::string_view(chosen) == "0" ? FetchMode::serial : FetchMode::ahead;
}

PageFetcher::PageFetcher(Tger_API& api, const RunRequest& request, FetchMode mode)
    : api_(api), client_(api.client_for(request)), mode_(mode)
{
}

PageFetcher::~PageFetcher()
{
    stop();
}

void PageFetcher::fetch_ahead(std::u16string_view selection, std::int32_t start_id)
{
    if (mode_ == FetchMode::serial || stopped_) return;
    drop();
    if (start_worker()) ask(selection, start_id);  // else take() fetches it then
}

// Ahead, even a page not asked for before is fetched by the thread, which
// alone uses the client once it runs.
ProductsPage PageFetcher::take(std::u16string_view selection, std::int32_t start_id)
{
    if (!is_ahead(selection, start_id)) {
        drop();
        if (mode_ == FetchMode::serial || stopped_ || !start_worker())
            return handed_over(fetch(std::u16string(selection), start_id));
        ask(selection, start_id);
    }
    return handed_over(wait_for_ahead());
}

void PageFetcher::drop()
{
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return ahead_state_ != Ahead::fetching; });
    ahead_state_ = Ahead::none;
    ahead_ = {};
}

// The late answer to a page nobody will write must not hold the run's end:
// the stop cuts its exchange off, and the failure it makes is dropped with
// the page.
void PageFetcher::stop() noexcept
{
    stopped_ = true;
    if (worker_.joinable()) {
        worker_.request_stop();
        worker_.join();
        client_->stop_requests_on({});
        drop();
    }
    api_.follow_status_backoff(*client_);
}

bool PageFetcher::is_ahead(std::u16string_view selection, std::int32_t start_id)
{
    std::lock_guard lock(mutex_);
    return ahead_state_ != Ahead::none && ahead_start_id_ == start_id && ahead_selection_ == selection;
}

void PageFetcher::ask(std::u16string_view selection, std::int32_t start_id)
{
    {
        std::lock_guard lock(mutex_);
        ahead_start_id_ = start_id;
        ahead_selection_ = selection;
        ahead_state_ = Ahead::asked;
    }
    changed_.notify_all();
}

PageFetcher::Fetched PageFetcher::wait_for_ahead()
{
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return ahead_state_ == Ahead::fetched; });
    ahead_state_ = Ahead::none;
    return std::exchange(ahead_, {});
}

void PageFetcher::work(const std::stop_token& stop)
{
    client_->stop_requests_on(stop);
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, stop, [this] { return ahead_state_ == Ahead::asked; });
        if (stop.stop_requested()) return;
        ahead_state_ = Ahead::fetching;
        const std::u16string selection = ahead_selection_;
        const std::int32_t start_id = ahead_start_id_;
        lock.unlock();
        Fetched fetched = fetch(selection, start_id);
        lock.lock();
        ahead_ = std::move(fetched);
        ahead_state_ = Ahead::fetched;
        changed_.notify_all();
    }
}

PageFetcher::Fetched PageFetcher::fetch(const std::u16string& selection, std::int32_t start_id) noexcept
{
    try {
        ProductsPage page{.start_id = start_id,
                          .answer = client_->take_products_page(selection, integer_to_text(start_id)),
                          .facts = {}};
        if (auto* rows = std::get_if<PageRows>(&page.answer))
            page.facts = facts_of_page(rows->table, client_->token_de_acesso);
        return {std::move(page), nullptr};
    } catch (...) {
        return {std::nullopt, std::current_exception()};
    }
}

ProductsPage PageFetcher::handed_over(Fetched fetched)
{
    if (fetched.failure) std::rethrow_exception(fetched.failure);
    return std::move(*fetched.page);
}

// A system that will not start the thread still gets its pages, one after
// the other.
bool PageFetcher::start_worker() noexcept
{
    if (worker_.joinable()) return true;
    try {
        worker_ = std::jthread([this](const std::stop_token& stop) { work(stop); });
        return true;
    } catch (const std::system_error&) {
        return false;
    }
}
