#include "app/win32/failure_box.h"
#include "app/win32/ufrmPrincipal.h"
#include "sync/shell_controller.h"
#include "util/error.h"
#include "util/shell_texts.h"

#include <windows.h>

#include <memory>

namespace {

// The box of a failure at start-up. Its text goes to standard error too, for
// a caller that started the program with a handle there, and where no
// desktop shows the box.
void show_start_failure(const std::exception& failure)
{
    const std::u16string message = message_of(failure);
    const HANDLE error_output = GetStdHandle(STD_ERROR_HANDLE);
    if (error_output && error_output != INVALID_HANDLE_VALUE) {
        const std::u16string line = start_failure_caption + (u": " + message + u"\n");
        const int size = WideCharToMultiByte(CP_UTF8, 0, reinterpret_cast<const wchar_t*>(line.data()),
                                             static_cast<int>(line.size()), nullptr, 0, nullptr, nullptr);
        std::string bytes(static_cast<std::size_t>(size), '\0');
        WideCharToMultiByte(CP_UTF8, 0, reinterpret_cast<const wchar_t*>(line.data()), static_cast<int>(line.size()),
                            bytes.data(), size, nullptr, nullptr);
        DWORD written = 0;
        WriteFile(error_output, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    }
    show_failure_box(nullptr, start_failure_caption, message);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    const auto program = start_shell([] { return std::make_unique<TfrmPrincipal>(); }, show_start_failure);
    if (!program) return 1;

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}
