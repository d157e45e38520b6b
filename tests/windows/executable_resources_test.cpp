// What the system reads from the built importador.exe, which the build puts
// beside this test: the version a technician sees in its Properties, and the
// manifest the loader applies at start-up.
#include "version.h"

#include "util/utf.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace {

std::wstring importador_exe()
{
    wchar_t buffer[4096];
    const DWORD length = GetModuleFileNameW(nullptr, buffer, 4096);
    std::wstring path(buffer, length);
    return path.substr(0, path.rfind(L'\\') + 1) + L"importador.exe";
}

std::string utf8(const wchar_t* text)
{
    return utf16_to_utf8(std::u16string(text, text + wcslen(text)));
}

TEST(ExecutableResources, VersionResourceNamesTheProductAndThisBuild)
{
    const std::wstring exe = importador_exe();
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(exe.c_str(), &ignored);
    ASSERT_NE(0u, size) << "no version resource in importador.exe (error " << GetLastError() << ")";
    std::vector<char> block(size);
    ASSERT_TRUE(GetFileVersionInfoW(exe.c_str(), 0, size, block.data()));

    struct Translation {
        WORD language, code_page;
    }* translation = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translation), &length));
    ASSERT_GE(length, sizeof *translation);
    EXPECT_EQ(0x0416, translation->language) << "Brazilian Portuguese";

    const struct {
        const wchar_t* name;
        std::string expected;
    } cases[] = {
        {L"FileVersion", IMPORTADOR_VERSION_TEXT},
        {L"ProductVersion", IMPORTADOR_VERSION_TEXT},
        {L"ProductName", "Importador"},
        {L"FileDescription", "Importação do catálogo de produtos"},
        {L"OriginalFilename", "importador.exe"},
    };
    for (const auto& c : cases) {
        wchar_t path[128];
        swprintf(path, 128, L"\\StringFileInfo\\%04x%04x\\%ls", translation->language, translation->code_page,
                 c.name);
        wchar_t* value = nullptr;
        if (!VerQueryValueW(block.data(), path, reinterpret_cast<void**>(&value), &length) || !value) {
            ADD_FAILURE() << utf8(c.name) << " is missing";
            continue;
        }
        EXPECT_EQ(c.expected, utf8(value)) << utf8(c.name);
    }
    // The number the project declares, whatever git adds after it.
    EXPECT_EQ(0u, std::string(IMPORTADOR_VERSION_TEXT).find(IMPORTADOR_PROJECT_VERSION)) << IMPORTADOR_VERSION_TEXT;

    VS_FIXEDFILEINFO* fixed = nullptr;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    const WORD numbers[] = {IMPORTADOR_VERSION_NUMBERS};
    EXPECT_EQ(MAKELONG(numbers[1], numbers[0]), fixed->dwFileVersionMS);
    EXPECT_EQ(MAKELONG(numbers[3], numbers[2]), fixed->dwFileVersionLS);
    EXPECT_EQ(fixed->dwFileVersionMS, fixed->dwProductVersionMS);
    EXPECT_EQ(static_cast<DWORD>(VFT_APP), fixed->dwFileType);
}

struct ActivationContextRelease {
    void operator()(HANDLE context) const { ReleaseActCtx(context); }
};
using ActivationContext = std::unique_ptr<void, ActivationContextRelease>;

std::string context_setting(HANDLE context, const wchar_t* settings_namespace, const wchar_t* name)
{
    wchar_t value[128] = {};
    SIZE_T written = 0;
    if (!QueryActCtxSettingsW(0, context, settings_namespace, name, value, 128, &written)) return "(none)";
    return utf8(value);
}

// The identities of the context's assemblies, the exe's own first.
std::vector<std::string> context_assemblies(HANDLE context)
{
    SIZE_T needed = 0;
    QueryActCtxW(0, context, nullptr, ActivationContextDetailedInformation, nullptr, 0, &needed);
    std::vector<char> detail(std::max<SIZE_T>(needed, sizeof(ACTIVATION_CONTEXT_DETAILED_INFORMATION)));
    if (!QueryActCtxW(0, context, nullptr, ActivationContextDetailedInformation, detail.data(), detail.size(),
                      nullptr))
        return {};
    const DWORD count = reinterpret_cast<ACTIVATION_CONTEXT_DETAILED_INFORMATION*>(detail.data())->ulAssemblyCount;
    std::vector<std::string> identities;
    for (DWORD index = 1; index <= count; ++index) {
        SIZE_T needed = 0;
        QueryActCtxW(0, context, &index, AssemblyDetailedInformationInActivationContext, nullptr, 0, &needed);
        std::vector<char> buffer(needed);
        const auto* assembly = reinterpret_cast<ACTIVATION_CONTEXT_ASSEMBLY_DETAILED_INFORMATION*>(buffer.data());
        if (needed && QueryActCtxW(0, context, &index, AssemblyDetailedInformationInActivationContext,
                                   buffer.data(), needed, nullptr) &&
            assembly->lpAssemblyEncodedAssemblyIdentity)
            identities.push_back(utf8(assembly->lpAssemblyEncodedAssemblyIdentity));
    }
    return identities;
}

// The loader's own reading of the manifest, not a search of its text: a
// malformed manifest, or a dependency the system cannot resolve, fails here
// as it would fail the exe's start.
TEST(ExecutableResources, ManifestRunsAsInvokerWithCommonControls6AndPerMonitorDpi)
{
    const std::wstring exe = importador_exe();
    ACTCTXW request = {};
    request.cbSize = sizeof request;
    request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    request.lpSource = exe.c_str();
    request.lpResourceName = CREATEPROCESS_MANIFEST_RESOURCE_ID;
    HANDLE created = CreateActCtxW(&request);
    ASSERT_NE(INVALID_HANDLE_VALUE, created) << "no usable manifest in importador.exe (error " << GetLastError()
                                             << ")";
    const ActivationContext context(created);

    EXPECT_EQ("PerMonitorV2, PerMonitor",
              context_setting(context.get(), L"http://schemas.microsoft.com/SMI/2016/WindowsSettings",
                              L"dpiAwareness"));
    EXPECT_EQ("true/pm", context_setting(context.get(), nullptr, L"dpiAware"));

    ACTIVATION_CONTEXT_RUN_LEVEL_INFORMATION run_level = {};
    ASSERT_TRUE(QueryActCtxW(0, context.get(), nullptr, RunlevelInformationInActivationContext, &run_level,
                             sizeof run_level, nullptr));
    EXPECT_EQ(ACTCTX_RUN_LEVEL_AS_INVOKER, run_level.RunLevel);
    EXPECT_FALSE(run_level.UiAccess);

    // The common controls the loader bound: version 6, found by the system.
    const auto assemblies = context_assemblies(context.get());
    bool common_controls_6 = false;
    for (const auto& identity : assemblies)
        common_controls_6 |= identity.find("Microsoft.Windows.Common-Controls") != std::string::npos &&
                             identity.find("version=\"6.0.") != std::string::npos;
    EXPECT_TRUE(common_controls_6) << ::testing::PrintToString(assemblies);
}

}  // namespace
