#include "winrules.h"

#include <cwctype>

namespace WinRules {

int hotkeyId(unsigned virtualKey, unsigned modifiers)
{
    return int(modifiers << 8 | virtualKey);
}

unsigned registrationModifiers(unsigned modifiers)
{
    const unsigned NoRepeat = 0x4000; // MOD_NOREPEAT
    return modifiers | NoRepeat;
}

unsigned long registryView(bool wow64Process)
{
    const unsigned long Wow64View64 = 0x0100; // KEY_WOW64_64KEY
    return wow64Process ? Wow64View64 : 0;
}

namespace {

std::wstring xmlText(const std::wstring &text)
{
    std::wstring escaped;
    for (const wchar_t c : text) {
        switch (c) {
        case L'&':
            escaped += L"&amp;";
            break;
        case L'<':
            escaped += L"&lt;";
            break;
        case L'>':
            escaped += L"&gt;";
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

std::wstring comparable(const std::wstring &path)
{
    std::wstring folded;
    for (const wchar_t c : path) {
        if (c != L'"')
            folded += c == L'/' ? L'\\' : wchar_t(std::towlower(std::wint_t(c)));
    }
    return folded;
}

} // namespace

// Any user (the Users group) at any log-on; no time limit and no battery rules, which by default
// would end a till after three days or keep it from starting on a laptop's battery.
std::wstring logonTaskXml(const std::wstring &program)
{
    return L"<Task version=\"1.2\" xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\">\n"
           L"  <Triggers>\n"
           L"    <LogonTrigger>\n"
           L"      <Enabled>true</Enabled>\n"
           L"    </LogonTrigger>\n"
           L"  </Triggers>\n"
           L"  <Principals>\n"
           L"    <Principal id=\"Author\">\n"
           L"      <GroupId>S-1-5-32-545</GroupId>\n"
           L"      <RunLevel>HighestAvailable</RunLevel>\n"
           L"    </Principal>\n"
           L"  </Principals>\n"
           L"  <Settings>\n"
           L"    <MultipleInstancesPolicy>IgnoreNew</MultipleInstancesPolicy>\n"
           L"    <DisallowStartIfOnBatteries>false</DisallowStartIfOnBatteries>\n"
           L"    <StopIfGoingOnBatteries>false</StopIfGoingOnBatteries>\n"
           L"    <ExecutionTimeLimit>PT0S</ExecutionTimeLimit>\n"
           L"  </Settings>\n"
           L"  <Actions Context=\"Author\">\n"
           L"    <Exec>\n"
           L"      <Command>" +
           xmlText(program) +
           L"</Command>\n"
           L"    </Exec>\n"
           L"  </Actions>\n"
           L"</Task>\n";
}

bool startsProgram(const std::wstring &command, const std::wstring &program)
{
    return !program.empty() && comparable(command) == comparable(program);
}

} // namespace WinRules
