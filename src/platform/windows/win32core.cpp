#include "win32core.h"

#include "winrules.h"

#include <windows.h>

#include <initguid.h> // before taskschd.h: defines the interface ids it declares
#include <taskschd.h>

namespace Win32 {

namespace {

const wchar_t RunKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

// Looked up at run time: the function is missing on the oldest systems.
bool wow64Process()
{
    using IsWow64ProcessFunction = BOOL(WINAPI *)(HANDLE, PBOOL);
    const HMODULE kernel = GetModuleHandleW(L"kernel32");
    const auto isWow64Process =
        kernel ? reinterpret_cast<IsWow64ProcessFunction>(
                     reinterpret_cast<void (*)()>(GetProcAddress(kernel, "IsWow64Process")))
               : nullptr;
    BOOL wow64 = FALSE;
    return isWow64Process && isWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

REGSAM view()
{
    return REGSAM(WinRules::registryView(wow64Process()));
}

bool removeRunValue(const std::wstring &name, const std::wstring &program)
{
    if (!WinRules::startsProgram(readRunValue(name), program))
        return true;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, RunKey, 0, KEY_SET_VALUE | view(), &key) != ERROR_SUCCESS)
        return false;
    const LONG deleted = RegDeleteValueW(key, name.c_str());
    RegCloseKey(key);
    return deleted == ERROR_SUCCESS || deleted == ERROR_FILE_NOT_FOUND;
}

template <typename T> class Com
{
public:
    Com() = default;
    Com(const Com &) = delete;
    Com &operator=(const Com &) = delete;
    ~Com()
    {
        if (m_Object)
            m_Object->Release();
    }
    T *operator->() const { return m_Object; }
    T *get() const { return m_Object; }
    T **out() { return &m_Object; }
    void **outVoid() { return reinterpret_cast<void **>(&m_Object); }

private:
    T *m_Object = nullptr;
};

class Bstr
{
public:
    explicit Bstr(const std::wstring &text) : m_Text(SysAllocStringLen(text.data(), UINT(text.size()))) {}
    Bstr(const Bstr &) = delete;
    Bstr &operator=(const Bstr &) = delete;
    ~Bstr() { SysFreeString(m_Text); }
    operator BSTR() const { return m_Text; }

private:
    BSTR m_Text;
};

// COM for the calling thread while the object lives; a thread that has it already (Qt's GUI
// thread) keeps it as it is.
class ComScope
{
public:
    ComScope() : m_Result(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ComScope(const ComScope &) = delete;
    ComScope &operator=(const ComScope &) = delete;
    ~ComScope()
    {
        if (SUCCEEDED(m_Result))
            CoUninitialize();
    }

private:
    HRESULT m_Result;
};

VARIANT nothing()
{
    VARIANT empty;
    VariantInit(&empty);
    return empty;
}

bool rootFolder(Com<ITaskFolder> &folder)
{
    Com<ITaskService> service;
    return SUCCEEDED(CoCreateInstance(CLSID_TaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskService,
                                      service.outVoid())) &&
           SUCCEEDED(service->Connect(nothing(), nothing(), nothing(), nothing())) &&
           SUCCEEDED(service->GetFolder(Bstr(L"\\"), folder.out()));
}

// The program the task starts, empty when there is no such task. Wine's Task Scheduler keeps no
// actions: there a task that exists is taken for one that starts the program asked about.
std::wstring taskCommand(ITaskFolder *folder, const std::wstring &name, const std::wstring &program)
{
    Com<IRegisteredTask> task;
    Com<ITaskDefinition> definition;
    Com<IActionCollection> actions;
    if (FAILED(folder->GetTask(Bstr(name), task.out())) || FAILED(task->get_Definition(definition.out())) ||
        FAILED(definition->get_Actions(actions.out())))
        return std::wstring();
    LONG count = 0;
    if (actions->get_Count(&count) == E_NOTIMPL)
        return program;
    Com<IAction> action;
    Com<IExecAction> exec;
    BSTR path = nullptr;
    if (count < 1 || FAILED(actions->get_Item(1, action.out())) ||
        FAILED(action->QueryInterface(IID_IExecAction, exec.outVoid())) || FAILED(exec->get_Path(&path)))
        return std::wstring();
    const std::wstring command = path ? path : L"";
    SysFreeString(path);
    return command;
}

} // namespace

HotkeyGrab registerHotkey(unsigned virtualKey, unsigned modifiers)
{
    if (virtualKey == 0)
        return HotkeyGrab::Failed;
    // No window: WM_HOTKEY goes to this thread's queue, where Qt's event dispatcher offers it to
    // the native event filters.
    if (RegisterHotKey(nullptr, WinRules::hotkeyId(virtualKey, modifiers),
                       WinRules::registrationModifiers(modifiers), virtualKey))
        return HotkeyGrab::Done;
    return GetLastError() == ERROR_HOTKEY_ALREADY_REGISTERED ? HotkeyGrab::Taken : HotkeyGrab::Failed;
}

bool unregisterHotkey(unsigned virtualKey, unsigned modifiers)
{
    return UnregisterHotKey(nullptr, WinRules::hotkeyId(virtualKey, modifiers)) != FALSE;
}

bool hotkeyMessage(const void *message, unsigned *virtualKey, unsigned *modifiers)
{
    const MSG *msg = static_cast<const MSG *>(message);
    if (msg->message != WM_HOTKEY)
        return false;
    *virtualKey = HIWORD(msg->lParam);
    *modifiers = LOWORD(msg->lParam);
    return true;
}

std::wstring readRunValue(const std::wstring &name)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, RunKey, 0, KEY_QUERY_VALUE | view(), &key) != ERROR_SUCCESS)
        return std::wstring();
    std::wstring value;
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
        type == REG_SZ) {
        // The stored data need not end in a NUL and may be of odd length: room for what the size
        // says, rounded up, and no more is taken.
        std::wstring data(size / sizeof(wchar_t) + 1, L'\0');
        DWORD read = DWORD(data.size() * sizeof(wchar_t));
        if (RegQueryValueExW(key, name.c_str(), nullptr, &type, reinterpret_cast<LPBYTE>(&data[0]), &read) ==
                ERROR_SUCCESS &&
            type == REG_SZ) {
            data.resize(read / sizeof(wchar_t));
            value = data.substr(0, data.find(L'\0'));
        }
    }
    RegCloseKey(key);
    return value;
}

std::wstring readAutostart(const std::wstring &name, const std::wstring &program)
{
    ComScope com;
    Com<ITaskFolder> folder;
    if (!rootFolder(folder))
        return std::wstring();
    const std::wstring command = taskCommand(folder.get(), name, program);
    return WinRules::startsProgram(command, program) ? command : std::wstring();
}

bool writeAutostart(const std::wstring &name, const std::wstring &program)
{
    ComScope com;
    Com<ITaskFolder> folder;
    Com<IRegisteredTask> task;
    return rootFolder(folder) &&
           SUCCEEDED(folder->RegisterTask(Bstr(name), Bstr(WinRules::logonTaskXml(program)),
                                          TASK_CREATE_OR_UPDATE, nothing(), nothing(), TASK_LOGON_GROUP,
                                          nothing(), task.out())) &&
           removeRunValue(name, program);
}

bool removeAutostart(const std::wstring &name, const std::wstring &program)
{
    ComScope com;
    Com<ITaskFolder> folder;
    if (!rootFolder(folder))
        return false;
    const HRESULT deleted = folder->DeleteTask(Bstr(name), 0);
    const bool gone = SUCCEEDED(deleted) || deleted == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    return removeRunValue(name, program) && gone;
}

std::wstring besideProgram(const std::wstring &fileName)
{
    std::wstring path(MAX_PATH, L'\0');
    DWORD length = 0;
    while ((length = GetModuleFileNameW(nullptr, &path[0], DWORD(path.size()))) == path.size())
        path.resize(path.size() * 2);
    return length == 0 ? std::wstring() : path.substr(0, path.find_last_of(L'\\', length) + 1) + fileName;
}

bool startBeside(const std::wstring &fileName)
{
    const std::wstring path = besideProgram(fileName);
    // The application name given: no search, so a missing file fails here.
    std::wstring commandLine = L"\"" + path + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (path.empty() || !CreateProcessW(path.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                                        nullptr, &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

void allowForeground()
{
    AllowSetForegroundWindow(ASFW_ANY);
}

} // namespace Win32
