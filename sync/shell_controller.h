#pragma once

#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "sync/import_run.h"
#include "sync/import_shell.h"
#include "sync/run_texts.h"
#include "util/frmfunckelvo.h"

class ShellController;
class TdtmApi;
class Tger_API;

// A shell as the controller drives it: it draws the run's events, and owns
// a timer, a notification area and a message loop. It decides nothing; its
// input (timer ticks, menu clicks, activation) goes to its controller.
class ShellView : public ImportShell {
public:
    virtual void arm_timer() = 0;
    virtual void disarm_timer() = 0;
    // Left to the desktop, nobody waited for; nothing without a tray icon.
    virtual void raise_end_notice(const EndNotice& notice) = 0;
    // Leaves the message loop once control returns to it.
    virtual void leave_message_loop(int exit_code) = 0;

    // Where the shell's input goes; none before a controller drives it.
    void drive_by(ShellController& controller) { controller_ = &controller; }

protected:
    ShellController* controller_ = nullptr;
};

// What both shells do, whatever they draw with: how a tick runs the import,
// and how the run's end closes the program, shows a box or waits. The run
// reaches the view through the controller, which keeps the end notice until
// the process ends.
class ShellController : private ImportShell {
public:
    ShellController(ShellView& view, Tger_API& ger_API, TdtmApi& dtmApi);
    ShellController(const ShellController&) = delete;
    ShellController& operator=(const ShellController&) = delete;

    // The run the timer starts; tests point its files elsewhere.
    ImportRun& run() { return run_; }

    void timer_ticked();
    void window_activated();
    void quit_chosen();

private:
    void show_progress(const RunProgress& progress) override;
    void show_skipped(const SkippedProduct& product) override;
    void show_outcome(const RunEnd& end) override;
    void dispatch_messages() override;
    void show_failure_box(const std::u16string& message) override;

    void end_after_failure();

    ShellView& view_;
    ImportRun run_;
    std::optional<EndNotice> pending_notice_;  // the run's, until the process ends
};

// The program's long-lived objects, built in the order a start needs.
struct ShellProgram {
    std::unique_ptr<ShellView> form;
    std::unique_ptr<Tger_API> ger_API;
    std::unique_ptr<TdtmApi> dtmApi;
    std::unique_ptr<ShellController> controller;

    ShellProgram();
    ShellProgram(ShellProgram&&) noexcept;
    ~ShellProgram();
};

// The form, the API, then the database. A failure among them is answered to
// the back office in `directory` first, since it waits for the result file,
// and only then shown, as the box may wait for a minute; nothing is
// returned then.
std::optional<ShellProgram> start_shell(
    const std::function<std::unique_ptr<ShellView>()>& build_form,
    const std::function<void(const std::exception&)>& show_start_failure,
    const std::function<std::u16string()>& directory = &Funcoes_da_Kelvo::Path_Do_Executavel);
