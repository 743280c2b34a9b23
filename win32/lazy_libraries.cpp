// Loads the rarely needed system libraries when they are first needed, and says so when one is missing.
#include "win32/lazy_libraries.h"

#include <cstdio>

namespace {

LazyFunction initCommonControls{"comctl32.dll", "InitCommonControls", "The detailed list cannot be shown.", nullptr};
LazyFunction getSaveFileName{"comdlg32.dll", "GetSaveFileNameA", "Nothing was saved.", nullptr};

// Through a plain function-pointer type, so that the compiler accepts the change of signature.
template <typename Function> Function as(FARPROC address)
{
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
}

void reportMissing(const LazyFunction& lazy, HWND owner, DWORD error)
{
    char text[256];
    std::snprintf(text, sizeof text, "The system library %s could not be loaded (error %lu).\n\n%s",
                  lazy.library, static_cast<unsigned long>(error), lazy.loss);
    MessageBoxA(owner, text, "Tolvar", MB_OK | MB_ICONEXCLAMATION);
}

} // namespace

FARPROC resolveOnFirstUse(LazyFunction& lazy, HWND owner)
{
    if (lazy.address != nullptr)
        return lazy.address;
    // Never freed: windows of the library's classes may outlive any one use.
    const HMODULE module = LoadLibraryA(lazy.library);
    if (module != nullptr)
        lazy.address = GetProcAddress(module, lazy.function);
    if (lazy.address == nullptr && lazy.loss != nullptr)
        reportMissing(lazy, owner, GetLastError());
    return lazy.address;
}

bool loadCommonControls(HWND owner)
{
    const FARPROC address = resolveOnFirstUse(initCommonControls, owner);
    if (address == nullptr)
        return false;
    as<void(WINAPI*)()>(address)();
    return true;
}

BOOL runSaveDialog(OPENFILENAMEA* dialog)
{
    const FARPROC address = resolveOnFirstUse(getSaveFileName, dialog->hwndOwner);
    if (address == nullptr)
        return FALSE;
    return as<BOOL(WINAPI*)(OPENFILENAMEA*)>(address)(dialog);
}
