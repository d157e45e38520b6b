#include "sync/shell_controller.h"

#include "api/uGer_API.h"
#include "db/uDtmApi.h"
#include "util/error.h"

#include <utility>

ShellController::ShellController(ShellView& view, Tger_API& ger_API, TdtmApi& dtmApi)
    : view_(view), run_(ger_API, dtmApi, *this)
{
    view_.drive_by(*this);
}

void ShellController::timer_ticked()
{
    view_.disarm_timer();
    switch (run_.timerImportTimer()) {
    case ImportRun::Ending::quit:
        if (const auto notice = std::exchange(pending_notice_, std::nullopt)) view_.raise_end_notice(*notice);
        quit_chosen();
        break;
    case ImportRun::Ending::failure_shown: end_after_failure(); break;
    case ImportRun::Ending::tick_dropped: break;
    }
}

void ShellController::window_activated()
{
    if (run_.request_file_exists()) view_.arm_timer();
}

// Left once pending messages are served, the end notice's among them.
void ShellController::quit_chosen()
{
    view_.dispatch_messages();
    view_.leave_message_loop(0);
}

// Whether the box was closed or closed itself, nothing is left to do: the
// process ends, so that no hidden process stays behind on an unattended PC.
void ShellController::end_after_failure()
{
    view_.disarm_timer();
    view_.leave_message_loop(1);
}

void ShellController::show_progress(const RunProgress& progress)
{
    view_.show_progress(progress);
}

void ShellController::show_skipped(const SkippedProduct& product)
{
    view_.show_skipped(product);
}

// The notice is kept for the process's end: a run whose result could not be
// written shows its box instead.
void ShellController::show_outcome(const RunEnd& end)
{
    view_.show_outcome(end);
    pending_notice_ = end_notice(end);
}

void ShellController::dispatch_messages()
{
    view_.dispatch_messages();
}

void ShellController::show_failure_box(const std::u16string& message)
{
    view_.show_failure_box(message);
}

ShellProgram::ShellProgram() = default;
ShellProgram::ShellProgram(ShellProgram&&) noexcept = default;
ShellProgram::~ShellProgram() = default;

std::optional<ShellProgram> start_shell(const std::function<std::unique_ptr<ShellView>()>& build_form,
                                        const std::function<void(const std::exception&)>& show_start_failure,
                                        const std::function<std::u16string()>& directory)
{
    ShellProgram program;
    try {
        program.form = build_form();
        program.ger_API = std::make_unique<Tger_API>();
        program.dtmApi = std::make_unique<TdtmApi>();
    } catch (const std::exception& failure) {
        answer_start_failure(directory(), message_of(failure));
        show_start_failure(failure);
        return std::nullopt;
    }
    program.controller = std::make_unique<ShellController>(*program.form, *program.ger_API, *program.dtmApi);
    return program;
}
