#include "util/working_set.h"

#include <windows.h>

#include <memory>

namespace {

struct HandleCloser {
    void operator()(HANDLE handle) const noexcept { CloseHandle(handle); }
};

}  // namespace

void trim_working_set() noexcept
{
    const std::unique_ptr<void, HandleCloser> process(OpenProcess(PROCESS_ALL_ACCESS, FALSE, GetCurrentProcessId()));
    if (!process) return;
    // Both limits at -1: remove as many pages as the system will.
    SetProcessWorkingSetSize(process.get(), static_cast<SIZE_T>(-1), static_cast<SIZE_T>(-1));
}
