#include "api/uGer_API.h"
#include "app/message_box.h"
#include "app/quit_signals.h"
#include "app/ufrmPrincipal.h"
#include "db/uDtmApi.h"
#include "sync/import_run.h"
#include "util/error.h"
#include "util/frmfunckelvo.h"

#include <QApplication>

#include <cstdlib>
#include <memory>

namespace {

// Without a desktop the program still runs its import, on Qt's offscreen
// platform: no window, no tray.
void choose_offscreen_platform_without_desktop()
{
    const bool has_desktop = std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY");
    if (!has_desktop && !std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
}

}  // namespace

int main(int argc, char** argv)
{
    hold_quit_signals();
    choose_offscreen_platform_without_desktop();
    QApplication app(argc, argv);

    std::unique_ptr<TfrmPrincipal> frmPrincipal;
    std::unique_ptr<Tger_API> ger_API;
    std::unique_ptr<TdtmApi> dtmApi;
    try {
        frmPrincipal = std::make_unique<TfrmPrincipal>();
        ger_API = std::make_unique<Tger_API>();
        dtmApi = std::make_unique<TdtmApi>();
    } catch (const std::exception& failure) {
        answer_start_failure(Funcoes_da_Kelvo::Path_Do_Executavel(), message_of(failure));
        show_error_box(QStringLiteral("Application Error"), QString::fromUtf8(failure.what()));
        return 1;
    }
    frmPrincipal->attach(*ger_API, *dtmApi);
    route_quit_signals([form = frmPrincipal.get()] { form->sairClick(); });

    return app.exec();
}
