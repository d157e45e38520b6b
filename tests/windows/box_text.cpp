// box_text.exe CAPTION: prints the text of the message box with that
// caption, as the box shows it now, in UTF-8; exit code 1 when no such box
// is open. For the shell's tests under Wine, which read a box from outside.
#include <windows.h>

#include <string>

namespace {

BOOL CALLBACK find_text(HWND control, LPARAM found)
{
    wchar_t class_name[32] = {};
    GetClassNameW(control, class_name, 32);
    if (std::wstring(class_name) != L"Static" || GetWindowTextLengthW(control) == 0) return TRUE;
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
    *reinterpret_cast<std::wstring*>(found) = text;
    return FALSE;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 2) return 2;
    const HWND box = FindWindowW(L"#32770", argv[1]);
    if (!box) return 1;
    std::wstring text;
    EnumChildWindows(box, find_text, reinterpret_cast<LPARAM>(&text));
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                         nullptr);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr, nullptr);
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    return 0;
}
