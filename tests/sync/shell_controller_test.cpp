// The controller between a shell and the run: whole runs through a shell
// that records what it was asked to do, and the start's failure answered
// before its box.
#include "sync/shell_controller.h"

#include "sync/run_fixture.h"
#include "util/error.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace {

using namespace run_fixture;

// Keeps what a controller asked of it as one line each, in order; the
// run's page events are not kept, only counted as dispatches.
class RecordingView : public ShellView {
public:
    void show_progress(const RunProgress&) override {}
    void show_skipped(const SkippedProduct&) override {}
    void show_outcome(const RunEnd& end) override
    {
        calls.push_back(end.imported ? "imported" : "failed");
        outcome_shown = true;
    }
    void dispatch_messages() override
    {
        ++dispatches;
        if (dispatch_fails && !outcome_shown) throw std::runtime_error("shell gone");
    }
    void show_failure_box(const std::u16string&) override { calls.push_back("box"); }
    void arm_timer() override { calls.push_back("arm"); }
    void disarm_timer() override { calls.push_back("disarm"); }
    void raise_end_notice(const EndNotice& notice) override
    {
        calls.push_back("notice " + utf16_to_utf8(notice.title));
    }
    void leave_message_loop(int exit_code) override { calls.push_back("leave " + std::to_string(exit_code)); }

    std::vector<std::string> calls;
    int dispatches = 0;
    bool dispatch_fails = false;  // while the run lasts
    bool outcome_shown = false;
};

class ShellControllerTest : public ImportRunTest, public ::testing::Test {
protected:
    static void SetUpTestSuite() { use_utf8_locale(); }

    // One process's worth: fresh objects, one tick through the controller.
    void tick(RecordingView& view)
    {
        Tger_API ger_API;
        ger_API.urlBase = utf8_to_utf16(service->base_url());
        if (ger_API.urlBase.back() != u'/') ger_API.urlBase += u'/';
        TdtmApi dtmApi;
        ShellController controller(view, ger_API, dtmApi);
        controller.run().directory = [this] { return utf8_to_utf16(dir.path().string()) + u"/"; };
        standard_error_of([&] { controller.timer_ticked(); });
    }
};

// How a run's end closes the program: a clean run quits, one with skipped
// products raises its notice first, one whose result cannot be written
// shows its box and ends with 1. A dispatch that fails stops nothing.
TEST_F(ShellControllerTest, RunsEndCloseTheProgramAsTheyEnded)
{
    const Product refused = {.codigo = 2, .unidadeBalanca = "UNIDADE"};  // uni_bal is a varchar(5)
    struct {
        std::string name;
        ScriptedAnswer page;
        bool result_blocked = false;
        bool dispatch_fails = false;
        std::vector<std::string> calls;
    } cases[] = {
        {"clean", page({{.codigo = 1}}, 0), false, false, {"disarm", "imported", "leave 0"}},
        {"skips",
         page({{.codigo = 1}, refused}, 0),
         false,
         false,
         {"disarm", "imported", "notice Importação concluída com produtos ignorados", "leave 0"}},
        // A run whose result could not be written shows its box instead of a notice.
        {"result blocked",
         page({{.codigo = 1}}, 0),
         true,
         false,
         {"disarm", "imported", "failed", "box", "disarm", "leave 1"}},
        {"dispatch fails", page({{.codigo = 1}}, 0), false, true, {"disarm", "imported", "leave 0"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TestDatabase fresh;
        service->script(page_path("10", 0), c.page);
        write_request("10", fresh.file.string());
        std::filesystem::remove_all(dir / "ConfigImporta.ret");
        if (c.result_blocked) std::filesystem::create_directory(dir / "ConfigImporta.ret");

        RecordingView view;
        view.dispatch_fails = c.dispatch_fails;
        tick(view);

        EXPECT_EQ(c.calls, view.calls);
        // Between pages, and once more before leaving on a quit.
        EXPECT_GE(view.dispatches, c.result_blocked ? 1 : 2);
        if (!c.result_blocked) {
            EXPECT_EQ(utf8_bom + import_ok, read_file_bytes(dir / "ConfigImporta.ret"));
        }
    }
}

TEST_F(ShellControllerTest, ActivationArmsTheTimerOnlyForARequest)
{
    Tger_API ger_API;
    TdtmApi dtmApi;
    RecordingView view;
    ShellController controller(view, ger_API, dtmApi);
    controller.run().directory = [this] { return utf8_to_utf16(dir.path().string()) + u"/"; };

    controller.window_activated();
    EXPECT_TRUE(view.calls.empty());
    write_request("10");
    controller.window_activated();
    EXPECT_EQ(std::vector<std::string>{"arm"}, view.calls);
}

// The back office has its answer by the time the box is up, and nothing is
// returned to run.
TEST_F(ShellControllerTest, StartFailureIsAnsweredBeforeItsBox)
{
    std::string result_when_shown;
    std::u16string shown_failure;
    const auto program = start_shell([]() -> std::unique_ptr<ShellView> { throw Error(u"Sem janela: ação negada"); },
                                     [&](const std::exception& failure) {
                                         shown_failure = message_of(failure);
                                         result_when_shown = read_file_bytes(dir / "ConfigImporta.ret");
                                     },
                                     [this] { return utf8_to_utf16(dir.path().string()) + u"/"; });
    EXPECT_FALSE(program);
    EXPECT_EQ(u"Sem janela: ação negada", shown_failure);
    EXPECT_EQ(utf8_bom + "Sem janela: ação negada", result_when_shown);
}

}  // namespace
