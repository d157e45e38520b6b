#include "api/uGer_API.h"
#include "app/win32/failure_box.h"
#include "app/win32/ufrmPrincipal.h"
#include "db/uDtmApi.h"
#include "sync/import_run.h"
#include "util/frmfunckelvo.h"
#include "util/error.h"

#include <windows.h>

#include <memory>

namespace {

// The box of a failure at start-up. Its text goes to standard error too, for
// a caller that started the program with a handle there, and where no
// desktop shows the box.
void show_start_failure(const std::u16string& message)
{
    const HANDLE error_output = GetStdHandle(STD_ERROR_HANDLE);
    if (error_output && error_output != INVALID_HANDLE_VALUE) {
        const std::u16string line = u"Application Error: " + message + u"\n";
        const int size = WideCharToMultiByte(CP_UTF8, 0, reinterpret_cast<const wchar_t*>(line.data()),
                                             static_cast<int>(line.size()), nullptr, 0, nullptr, nullptr);
        std::string bytes(static_cast<std::size_t>(size), '\0');
        WideCharToMultiByte(CP_UTF8, 0, reinterpret_cast<const wchar_t*>(line.data()), static_cast<int>(line.size()),
                            bytes.data(), size, nullptr, nullptr);
        DWORD written = 0;
        WriteFile(error_output, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    }
    show_failure_box(nullptr, u"Application Error", message);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    std::unique_ptr<TfrmPrincipal> frmPrincipal;
    std::unique_ptr<Tger_API> ger_API;
    std::unique_ptr<TdtmApi> dtmApi;
    try {
        frmPrincipal = std::make_unique<TfrmPrincipal>();
        ger_API = std::make_unique<Tger_API>();
        dtmApi = std::make_unique<TdtmApi>();
    } catch (const std::exception& failure) {
        answer_start_failure(Funcoes_da_Kelvo::Path_Do_Executavel(), message_of(failure));
        show_start_failure(message_of(failure));
        return 1;
    }
    frmPrincipal->attach(*ger_API, *dtmApi);

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}
