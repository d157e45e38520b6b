#include "sync/page_fetcher.h"

#include "api/uGer_API.h"
#include "sync/control_records.h"
#include "util/number_text.h"

#include <cstdlib>
#include <system_error>
#include <utility>

FetchMode fetch_mode_of_environment()
{
    const char* chosen = std::getenv("IMPORTADOR_FETCH_AHEAD");
    return chosen && std::string_view(chosen) == "0" ? FetchMode::serial : FetchMode::ahead;
}

PageFetcher::PageFetcher(Tger_API& api, FetchMode mode)
    : api_(api),
      mode_(mode),
      taken_(api.tblProdutos.name()),
      ahead_(api.tblProdutos.name())
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
    if (!start_worker()) return;  // take() fetches it then
    {
        std::lock_guard lock(mutex_);
        ahead_.start_id = start_id;
        ahead_selection_ = selection;
        ahead_state_ = Ahead::asked;
    }
    changed_.notify_all();
}

ProductsPage& PageFetcher::take(std::u16string_view selection, std::int32_t start_id)
{
    bool fetched_ahead = false;
    {
        std::unique_lock lock(mutex_);
        fetched_ahead =
            ahead_state_ != Ahead::none && ahead_.start_id == start_id && ahead_selection_ == selection;
        changed_.wait(lock, [this] { return ahead_state_ == Ahead::none || ahead_state_ == Ahead::fetched; });
        ahead_state_ = Ahead::none;
    }
    if (!fetched_ahead) {
        ahead_.start_id = start_id;
        fetch(ahead_, std::u16string(selection));
    }
    taken_.table.Close();  // two pages at most: the one taken and the one ahead
    std::swap(taken_, ahead_);
    if (taken_.failure) std::rethrow_exception(std::exchange(taken_.failure, nullptr));
    return taken_;
}

void PageFetcher::drop()
{
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return ahead_state_ != Ahead::fetching; });
    ahead_state_ = Ahead::none;
    ahead_.table.Close();
    ahead_.failure = nullptr;
}

// The late answer to a page nobody will write must not hold the run's end:
// the stop cuts its exchange off, and the failure it makes is dropped with
// the page.
void PageFetcher::stop() noexcept
{
    stopped_ = true;
    if (!worker_.joinable()) return;
    worker_.request_stop();
    worker_.join();
    api_.stop_requests_on({});
    drop();
}

void PageFetcher::work(const std::stop_token& stop)
{
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, stop, [this] { return ahead_state_ == Ahead::asked; });
        if (stop.stop_requested()) return;
        ahead_state_ = Ahead::fetching;
        const std::u16string selection = ahead_selection_;
        lock.unlock();
        fetch(ahead_, selection);
        lock.lock();
        ahead_state_ = Ahead::fetched;
        changed_.notify_all();
    }
}

void PageFetcher::fetch(ProductsPage& page, const std::u16string& selection) noexcept
{
    page.failure = nullptr;
    try {
        page.answer = api_.load_dados_Produtos(selection, integer_to_text(page.start_id));
        if (page.answer == u"OK")
            page.answer = check_control_records(api_.tblProdutos, api_.token_de_acesso, page.start_id);
        api_.tblProdutos.move_rows_to(page.table);
    } catch (...) {
        page.failure = std::current_exception();
    }
}

// A system that will not start the thread still gets its pages, one after
// the other.
bool PageFetcher::start_worker() noexcept
{
    if (worker_.joinable()) return true;
    try {
        worker_ = std::jthread([this](const std::stop_token& stop) { work(stop); });
        api_.stop_requests_on(worker_.get_stop_token());
        return true;
    } catch (const std::system_error&) {
        return false;
    }
}
