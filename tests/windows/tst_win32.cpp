// The platform layer's Win32 calls, run for real under Wine; wine.sh presses the keys.
#include "platform/windows/win32core.h"

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <process.h>
#include <string>
#include <tuple>
#include <vector>

namespace {

int passed = 0;
int failed = 0;

void check(bool ok, const char *what)
{
    ++(ok ? passed : failed);
    std::printf("%s %s\n", ok ? "pass" : "FAIL", what);
}

const std::wstring Self = Win32::besideProgram(L"tst_win32.exe");

bool appears(const std::wstring &file, int tenths)
{
    while (GetFileAttributesW(file.c_str()) == INVALID_FILE_ATTRIBUTES && tenths-- > 0)
        Sleep(100);
    return GetFileAttributesW(file.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void autostart()
{
    const wchar_t *run = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
    const std::wstring program = L"C:\\Program Files (x86)\\R&D <Pay>\\Kesto.exe",
                       plain = L"C:\\Pay\\Kesto.exe";
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, run);
    check(Win32::readRunValue(L"Kesto").empty() && Win32::removeAutostart(L"Kesto", program), "no Run key");
    // Run values as any program may have written them; the last as an earlier version did.
    for (const auto &[data, bytes, what] :
         {std::make_tuple(plain, plain.size() * 2 + 1, "odd byte length"),
          std::make_tuple(plain, plain.size() * 2, "no terminating NUL"),
          std::make_tuple(L'"' + program + L'"', program.size() * 2 + 6, "a quoted path with blanks")}) {
        HKEY key = nullptr;
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, run, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr);
        RegSetValueExW(key, L"Kesto", 0, REG_SZ, reinterpret_cast<const BYTE *>(data.c_str()), DWORD(bytes));
        RegCloseKey(key);
        check(Win32::readRunValue(L"Kesto") == data, what);
    }
    check(Win32::writeAutostart(L"Kesto", program) && Win32::readRunValue(L"Kesto").empty(),
          "log-on task written, the earlier Run value removed");
    check(Win32::readAutostart(L"Kesto", program) == program, "the task read back");
    check(Win32::removeAutostart(L"Kesto", program) && Win32::readAutostart(L"Kesto", program).empty() &&
              Win32::removeAutostart(L"Kesto", program),
          "the task removed, twice");
}

// Wine delivers a hotkey only while one of its own windows has the focus. wine.sh presses
// Shift+F9, Ctrl+F9 and then Escape, which ends the wait.
std::vector<std::pair<unsigned, unsigned>> pressesUntilEscape()
{
    HWND window = CreateWindowExW(0, L"STATIC", L"kesto-wine-hotkeys", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100,
                                  100, 300, 200, nullptr, nullptr, nullptr, nullptr);
    SetTimer(nullptr, 0, 30000, nullptr);
    std::vector<std::pair<unsigned, unsigned>> presses;
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0 && msg.message != WM_TIMER &&
           !(msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE)) {
        std::pair<unsigned, unsigned> press;
        if (Win32::hotkeyMessage(&msg, &press.first, &press.second))
            presses.push_back(press);
        DispatchMessageW(&msg);
    }
    DestroyWindow(window);
    return presses;
}

void hotkeys()
{
    // What a second start of this program gets for Ctrl+F9.
    const auto other = [] {
        return Win32::HotkeyGrab(
            _wspawnl(_P_WAIT, Self.c_str(), (L'"' + Self + L'"').c_str(), L"--grab", nullptr));
    };
    check(Win32::registerHotkey(VK_F9, MOD_CONTROL) == Win32::HotkeyGrab::Done, "Ctrl+F9 registered");
    check(other() == Win32::HotkeyGrab::Taken, "another process: already registered");
    const std::vector<std::pair<unsigned, unsigned>> once = {{VK_F9, MOD_CONTROL}};
    check(pressesUntilEscape() == once, "Ctrl+F9 pressed: one WM_HOTKEY; Shift+F9: none");
    check(Win32::unregisterHotkey(VK_F9, MOD_CONTROL) && other() == Win32::HotkeyGrab::Done,
          "released: another process gets it");
}

// Copies of this program under the updater's name in the working directory and on PATH never
// run; one beside the program does. A copy started as the updater leaves "ran" beside itself.
void updater(const wchar_t *name)
{
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring cwd = temp + std::wstring(L"kesto-cwd\\"),
                       onPath = temp + std::wstring(L"kesto-path\\");
    for (const std::wstring &folder : {cwd, onPath, Win32::besideProgram(L"")}) {
        CreateDirectoryW(folder.c_str(), nullptr);
        DeleteFileW((folder + L"ran").c_str());
        CopyFileW(Self.c_str(), (folder + name).c_str(), FALSE);
    }
    MoveFileExW(Win32::besideProgram(name).c_str(), (cwd + L"beside").c_str(), MOVEFILE_REPLACE_EXISTING);
    SetCurrentDirectoryW(cwd.c_str());
    SetEnvironmentVariableW(L"PATH", (onPath + L";C:\\windows\\system32").c_str());
    check(!Win32::startBeside(name) && !appears(cwd + L"ran", 20) && !appears(onPath + L"ran", 0),
          "no updater beside the program: the planted ones did not run");
    MoveFileExW((cwd + L"beside").c_str(), Win32::besideProgram(name).c_str(), 0);
    check(Win32::startBeside(name) && appears(Win32::besideProgram(L"ran"), 100),
          "the updater beside it ran");
}

} // namespace

int wmain(int argc, wchar_t **argv)
{
    const wchar_t *Updater = L"Morvane.exe";
    if (std::wcsstr(argv[0], Updater))
        return CloseHandle(CreateFileW(Win32::besideProgram(L"ran").c_str(), GENERIC_WRITE, 0, nullptr,
                                       CREATE_ALWAYS, 0, nullptr));
    if (argc > 1 && std::wstring(argv[1]) == L"--grab")
        return int(Win32::registerHotkey(VK_F9, MOD_CONTROL));
    autostart();
    hotkeys();
    updater(Updater);
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 && passed > 0 ? 0 : 1;
}
