// The launching side of HyperlinkManager: which program opens a target,
// preparing e-mail targets, and handing targets to the desktop.

#include "hyperlink/HyperlinkManager.h"
#include "hyperlink/LinkText.h"
#include "platform/Shell.h"
#include "platform/SystemInfo.h"
#include "platform/TextCase.h"

#include <algorithm>
#include <cstring>

namespace tvrn2 {
namespace {

constexpr std::string_view openCommand = "\\shell\\open\\command";
constexpr std::string_view systemDriveToken = "%SystemDrive%";
// The size announced with every registry query.
constexpr std::int32_t queryBufferSize = 200;
// An e-mail command plus the mail program's own must stay within this on
// the systems whose command lines were this short.
constexpr int oldSystemCommandLimit = 520;

bool switchOn(std::string_view name)
{
    return commandLine().find(name) != std::string::npos;
}

std::string decimal(long long value)
{
    return std::to_string(value);
}

// The shell's failure codes and what they tell the user.
std::string_view shellErrorText(int code)
{
    switch (code) {
    case 0:
        return "The Operating system is out of memory/resources. File:|";
    case 2:
        return "The specified file was not found. File:|";
    case 3:
        return "The specified path was not found. File:|";
    case 5:
        return "The operating system denied access to the specified file. File:|";
    case 8:
        return "There was not enough memory to complete the operation. File:|";
    case 11:
        return "The .exe file is invalid (non-Win32\u00AE .exe or error in .exe image). File:|";
    case 26:
        return "A sharing violation occurred. File:|";
    case 27:
        return "The file name association is incomplete or invalid. File:|";
    case 28:
        return "The DDE transaction could not be completed because the request timed out. File:|";
    case 29:
        return "The DDE transaction failed. File:|";
    case 30:
        return "The DDE transaction could not be completed because other DDE transactions were being "
               "processed. File:|";
    case 31:
        return "There is no application associated with the given file name extension. File:|";
    case 32:
        return "The specified dynamic-link library was not found. File:|";
    default:
        return "Unknown ShellExecute Error occured. File:|";
    }
}

} // namespace

int HyperlinkManager::queryClassesRoot(std::string_view key, CString<256>& into)
{
    RegSubkeyName = key;
    RegBufferSize = queryBufferSize;
    char buffer[queryBufferSize] = {};
    std::int32_t code = regQueryValue(RegQueryHandle, RegSubkeyName.clipped(), buffer, &RegBufferSize);
    if (code == ERROR_SUCCESS)
        into = std::string_view(buffer, strnlen(buffer, sizeof buffer));
    else
        into.clear();
    return code;
}

void HyperlinkManager::lookUpPrograms()
{
    HyperBrowser.clear();
    HyperEmail.clear();
    RegQueryHandle = HKEY_CLASSES_ROOT;

    // ".htm" names the class of web pages; its open command is the browser.
    queryClassesRoot(".htm", HyperBrowser);
    std::string className = HyperBrowser.clipped();
    HyperBrowser.clear();
    if (className.empty()
        || queryClassesRoot(className + std::string(openCommand), HyperBrowser) != ERROR_SUCCESS) {
        HyperBrowser.clear();
        Trace("No Browser found in the registry.");
    }

    queryClassesRoot("mailto\\shell\\open\\command", HyperEmail);
    if (HyperEmail.blank()) {
        Trace("No Email program found");
        return;
    }
    expandSystemDrive(FailureTrace::Quiet);
}

void HyperlinkManager::expandSystemDrive(FailureTrace failure)
{
    std::string command = HyperEmail.raw();
    auto token = command.find(systemDriveToken);
    if (token == std::string::npos)
        return;
    auto directory = m_desktop.windowsDirectory();
    if (!directory) {
        if (failure == FailureTrace::Traced && switchOn("/LVdbg"))
            Trace("Could not get the %SystemDrive%");
        return;
    }
    pszPath = std::string_view(*directory).substr(0, std::min<std::size_t>(directory->size(), pszBuffer));
    auto colon = pszPath.raw().find(':');
    if (colon == std::string::npos)
        return;
    HyperEmail = command.substr(0, token) + pszPath.raw().substr(0, colon + 1)
        + command.substr(token + systemDriveToken.size());
}

bool HyperlinkManager::lookUpEmailProgram()
{
    queryClassesRoot("mailto\\shell\\open\\command", HyperEmail);
    if (HyperEmail.blank()) {
        if (switchOn("/LVdbg"))
            Trace("No Email program found");
        return false;
    }
    expandSystemDrive(FailureTrace::Traced);
    OpenProgram = HyperEmail.clipped();
    return true;
}

bool HyperlinkManager::FindProgram(std::string_view target)
{
    std::string copy(clip(target));

    if (isWebTarget(copy)) {
        if (!HyperBrowser.blank()) {
            OpenProgram = HyperBrowser.clipped();
            return true;
        }
        // Decided as a web page on disk would be; a browser found this way
        // is remembered for every later web target.
        copy = ".htm";
    } else if (isEmailTarget(copy)) {
        if (!HyperEmail.blank()) {
            OpenProgram = HyperEmail.clipped();
            return true;
        }
        return lookUpEmailProgram();
    }
    if (copy.empty())
        return false;

    auto dot = copy.rfind('.');
    std::string dotted = dot == std::string::npos ? std::string() : copy.substr(dot);
    std::string bare = dot == std::string::npos ? copy : copy.substr(dot + 1);
    const std::string keys[] = {
        bare + "file" + std::string(openCommand),
        bare + "_auto_file" + std::string(openCommand),
        dotted,
    };

    auto query = [this](const std::string& key) {
        std::int32_t code = queryClassesRoot(key, OpenProgram);
        if (code != ERROR_SUCCESS && switchOn("/LVdbg"))
            Trace("RegQueryValue: " + decimal(code) + "\r\n RegSubkeyName: " + RegSubkeyName.clipped()
                + "\r\n self.OpenProgram: " + OpenProgram.clipped());
        return code;
    };

    for (int i = 1; i <= 3; ++i) {
        const std::string& key = keys[i - 1];
        // Without an extension there is no file type whose class could be read.
        std::int32_t code = key.empty() ? ERROR_FILE_NOT_FOUND : query(key);
        if (switchOn("/LVdbgReg"))
            Trace("Tried(" + decimal(i) + "): " + std::string(clip(key)) + "\r\nReturned:" + decimal(code));
        if (i == 3 && code == ERROR_SUCCESS) {
            std::string className = OpenProgram.clipped();
            std::string classKey = className + std::string(openCommand);
            code = className.empty() ? ERROR_FILE_NOT_FOUND : query(classKey);
            if (code == ERROR_SUCCESS && copy == ".htm")
                HyperBrowser = OpenProgram.clipped();
            if (switchOn("/LVdbgReg"))
                Trace("Tried(3+): " + classKey + "\r\nReturned:" + decimal(code));
        }
        if (code == ERROR_SUCCESS)
            return true;
    }
    return false;
}

void HyperlinkManager::RunURL(int control, int maxLength)
{
    std::string target = URLToRun.clipped();
    if (isEmailTarget(target)) {
        std::string prefix = toLowerAscii(target).find("mailto:") != std::string::npos ? "" : "mailto:";
        if (EncodeEmails)
            MakeEmailURLSafe();
        std::string command = prefix + URLToRun.clipped();
        if (command.size() > 4095)
            command.resize(4095);

        if (maxLength == -1) {
            OsVersion version = m_desktop.version();
            bool win9x = version.platformId == 1 && (version.minor == 0 || version.minor == 10);
            bool oldNt = version.platformId == 2 && version.major <= 4;
            maxLength = win9x || oldNt ? oldSystemCommandLimit : -1;
        }
        int programLength = static_cast<int>(HyperEmail.clipped().size());
        if (maxLength > 0 && static_cast<int>(command.size()) + programLength > maxLength)
            command.resize(static_cast<std::size_t>(std::max(0, maxLength - programLength)));

        Trace("Command to run: " + command);
        reportShellResult(m_desktop.open(command), command);
        return;
    }
    if (target.empty())
        return;
    Trace("Command to run: " + target);
    reportShellResult(m_desktop.open(target), target);
}

void HyperlinkManager::reportShellResult(int code, std::string_view command)
{
    if (code > 32)
        return;
    ErrorMessage(std::string(shellErrorText(code)) + std::string(command), "Shell Execute Error:", code);
}

void HyperlinkManager::MakeEmailURLSafe()
{
    Trace("b4 MakeEmailURLSafe self.URLToRun:\r\n" + URLToRun.clipped());
    URLToRun = encodeEmailTarget(URLToRun.clipped(), decltype(URLToRun)::capacity);
    Trace("b4 MakeEmailURLSafe self.URLToRun:\r\n" + URLToRun.clipped());
}

std::string HyperlinkManager::MakeLink(std::string_view, std::string_view target, int mode)
{
    return linkMarkup(target, mode);
}

} // namespace tvrn2
