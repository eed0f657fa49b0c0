// The code page seam on Windows: the system's own converters, MultiByteToWideChar and
// WideCharToMultiByte, bound by name from kernel32 at their first use and kept for the life of the
// process. Binding at run time rather than through the import table keeps one rule for every system
// function the program leans on: a missing one ends the program with a message that names it.
#include <windows.h>

#include <string>

#include "text/codepage_platform.h"

namespace {

using MultiByteToWideCharFn = int(WINAPI*)(UINT, DWORD, LPCCH, int, LPWSTR, int);
using WideCharToMultiByteFn = int(WINAPI*)(UINT, DWORD, LPCWCH, int, LPSTR, int, LPCCH, LPBOOL);

// Ends the process with the system's fatal error message, naming what could not be bound.
[[noreturn]] void cp_fatal_unbound(const char* what) {
    std::string message = "Xunpan cannot start: ";
    message += what;
    message += " could not be loaded.";
    FatalAppExitA(0, message.c_str());
    ExitProcess(1);  // FatalAppExitA does not return; this satisfies [[noreturn]].
}

template <typename Fn>
Fn cp_bind(const char* name) {
    static HMODULE kernel = [] {
        HMODULE m = LoadLibraryA("kernel32.dll");
        if (!m) cp_fatal_unbound("kernel32.dll");
        return m;
    }();
    FARPROC p = GetProcAddress(kernel, name);
    if (!p) cp_fatal_unbound((std::string("kernel32.dll!") + name).c_str());
    // GetProcAddress hands back a generic function pointer; the cast through void* keeps
    // -Wcast-function-type quiet about a conversion that is the point of the call.
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(p));
}

MultiByteToWideCharFn cp_multibyte_to_wide_fn() {
    static const MultiByteToWideCharFn fn = cp_bind<MultiByteToWideCharFn>("MultiByteToWideChar");
    return fn;
}

WideCharToMultiByteFn cp_wide_to_multibyte_fn() {
    static const WideCharToMultiByteFn fn = cp_bind<WideCharToMultiByteFn>("WideCharToMultiByte");
    return fn;
}

}  // namespace

int32_t cp_multibyte_to_wide(uint32_t code_page, uint32_t flags, const char* src, int32_t src_len, char16_t* dst,
                             int32_t dst_len) {
    // char16_t and wchar_t are both 16-bit UTF-16 units on Windows.
    static_assert(sizeof(char16_t) == sizeof(WCHAR));
    return cp_multibyte_to_wide_fn()(code_page, flags, src, src_len, reinterpret_cast<LPWSTR>(dst), dst_len);
}

int32_t cp_wide_to_multibyte(uint32_t code_page, uint32_t flags, const char16_t* src, int32_t src_len, char* dst,
                             int32_t dst_len, const char* default_char, int32_t* used_default) {
    BOOL used = FALSE;
    int n = cp_wide_to_multibyte_fn()(code_page, flags, reinterpret_cast<LPCWCH>(src), src_len, dst, dst_len,
                                      default_char, used_default ? &used : nullptr);
    if (used_default) *used_default = used ? 1 : 0;
    return n;
}

// The system's converters are called as they are: no single-pass shortcut on Windows.
bool cp_utf8_to_gbk_direct(std::string_view, std::string&) {
    return false;
}
