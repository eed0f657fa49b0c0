// xunpan-cli's console seam on Windows: UTF-8 output shows as the right characters on a console whatever
// its code page, and reaches a redirected file byte for byte.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "app/cli_io.h"

namespace {

// "ID 中文 ok" in UTF-8, and the characters a console should show for it.
const std::string kUtf8 = "ID \xE4\xB8\xAD\xE6\x96\x87 ok";
const std::wstring kShown = L"ID \u4E2D\u6587 ok";

// Puts the standard output handle back when a test is done with its own.
class StdoutHandle {
public:
    StdoutHandle() : saved_(GetStdHandle(STD_OUTPUT_HANDLE)) {}
    ~StdoutHandle() { SetStdHandle(STD_OUTPUT_HANDLE, saved_); }
    StdoutHandle(const StdoutHandle&) = delete;
    StdoutHandle& operator=(const StdoutHandle&) = delete;

private:
    HANDLE saved_;
};

std::wstring first_line_of_console(HANDLE console, size_t length) {
    std::wstring shown(length, L'\0');
    DWORD got = 0;
    ReadConsoleOutputCharacterW(console, shown.data(), static_cast<DWORD>(length), COORD{0, 0}, &got);
    shown.resize(got);
    return shown;
}

TEST(CliConsole, ShowsTheCharactersWhateverTheConsoleCodePage) {
    StdoutHandle keep;
    FreeConsole();
    ASSERT_TRUE(AllocConsole());
    HANDLE console = GetStdHandle(STD_OUTPUT_HANDLE);
    EXPECT_TRUE(cli_is_terminal(CliStream::out));

    // 936 as on a Chinese system, then 437 as on an English one: the characters stay the same.
    for (UINT code_page : {936u, 437u}) {
        SCOPED_TRACE(code_page);
        SetConsoleOutputCP(code_page);
        SetConsoleCursorPosition(console, COORD{0, 0});
        cli_write(CliStream::out, kUtf8);
        EXPECT_EQ(first_line_of_console(console, kShown.size()), kShown);
    }
    FreeConsole();
}

TEST(CliConsole, RedirectedOutputIsTheUtf8Bytes) {
    StdoutHandle keep;
    char dir[MAX_PATH];
    char path[MAX_PATH];
    ASSERT_NE(GetTempPathA(MAX_PATH, dir), 0u);
    ASSERT_NE(GetTempFileNameA(dir, "xpc", 0, path), 0u);
    HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    SetStdHandle(STD_OUTPUT_HANDLE, file);
    EXPECT_FALSE(cli_is_terminal(CliStream::out));

    cli_write(CliStream::out, kUtf8);
    cli_write(CliStream::out, "\r\n");
    std::string written(64, '\0');
    DWORD got = 0;
    SetFilePointer(file, 0, nullptr, FILE_BEGIN);
    ReadFile(file, written.data(), static_cast<DWORD>(written.size()), &got, nullptr);
    written.resize(got);
    CloseHandle(file);
    EXPECT_EQ(written, kUtf8 + "\r\n");
}

// Arguments arrive in the ANSI code page; in a Chinese prefix that is 936 already and nothing changes.
TEST(CliConsole, InputInTheAnsiCodePageBecomesCodePage936) {
    ASSERT_EQ(GetACP(), 936u) << "the test runs in a Chinese locale";
    EXPECT_EQ(cli_text_from_input("ID \xD6\xD0\xCE\xC4"), Text("ID \xD6\xD0\xCE\xC4"));
}

}  // namespace
