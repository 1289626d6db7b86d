#include "platform/win32/win32_shell.h"

#include "platform/ansi_code_page.h"
#include "platform/known_folders.h"
#include "platform/shell_link.h"
#include "platform/shortcut_file.h"
#include "platform/text.h"
#include "platform/win32/win32_failure.h"
#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_icons.h"

#include <algorithm>
#include <optional>

namespace qb::win32 {

namespace {

ComPtr<IShellLinkA> NewShellLink() {
    ComPtr<IShellLinkA> link;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                  link.ReceiveVoid()))) {
        link.Reset();
    }
    return link;
}

// Records the cause an HRESULT carries (a Win32 error wrapped in it, a full medium, access denied); false.
bool FailedWithResult(HRESULT result) {
    if (result == STG_E_ACCESSDENIED || result == E_ACCESSDENIED) {
        return Failed(ERROR_ACCESS_DENIED);
    }
    if (result == STG_E_MEDIUMFULL) {
        return Failed(ERROR_DISK_FULL);
    }
    return Failed(HRESULT_FACILITY(result) == FACILITY_WIN32 ? static_cast<DWORD>(HRESULT_CODE(result))
                                                             : ERROR_GEN_FAILURE);
}

std::wstring WidePath(std::string_view path) {
    const std::u16string wide = Utf8ToUtf16(path);
    return std::wstring(wide.begin(), wide.end());
}

std::string Utf8Path(const wchar_t* path) {
    return Utf16ToUtf8(std::u16string(path, path + ::wcslen(path)));
}

std::string Utf8Of(const wchar_t* text, std::size_t length) {
    return Utf16ToUtf8(std::u16string(text, text + length));
}

// MultiByteToWideChar in the given code page; undefined bytes become the code page's default character.
std::string AnsiToUtf8(unsigned codePage, std::string_view ansi) {
    if (ansi.empty()) {
        return {};
    }
    const int size = static_cast<int>(std::min<std::size_t>(ansi.size(), 0x7FFFFFFF));
    const int length = ::MultiByteToWideChar(codePage, 0, ansi.data(), size, nullptr, 0);
    if (length <= 0) {
        return {};
    }
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(codePage, 0, ansi.data(), size, wide.data(), length);
    return Utf8Of(wide.data(), wide.size());
}

// SHGetKnownFolderPath of a folder named by its GUID in registry form.
std::optional<std::string> KnownFolderPath(std::string_view folderId) {
    GUID id{};
    std::wstring text = WidePath(folderId);
    if (FAILED(::CLSIDFromString(text.data(), &id))) {
        return std::nullopt;
    }
    wchar_t* path = nullptr;
    const HRESULT found = ::SHGetKnownFolderPath(id, 0, nullptr, &path);
    std::optional<std::string> out;
    if (SUCCEEDED(found) && path != nullptr) {
        out = Utf8Path(path);
    }
    ::CoTaskMemFree(path);
    return out;
}

std::string ExpandedPath(std::string_view path) {
    const std::wstring wide = WidePath(path);
    const DWORD length = ::ExpandEnvironmentStringsW(wide.c_str(), nullptr, 0);
    if (length == 0) {
        return std::string(path);
    }
    std::wstring expanded(length, L'\0');
    const DWORD written = ::ExpandEnvironmentStringsW(wide.c_str(), expanded.data(), length);
    if (written == 0 || written > length) {
        return std::string(path);
    }
    return Utf8Of(expanded.c_str(), ::wcslen(expanded.c_str()));
}

// The 8.3 form of a path that exists (the long one where the volume keeps no short names); the path as
// given when it does not exist.
std::string ShortPath(std::string_view path) {
    const std::wstring wide = WidePath(path);
    const DWORD length = ::GetShortPathNameW(wide.c_str(), nullptr, 0);
    if (length == 0) {
        return std::string(path);
    }
    std::wstring shortPath(length, L'\0');
    const DWORD written = ::GetShortPathNameW(wide.c_str(), shortPath.data(), length);
    if (written == 0 || written >= length) {
        return std::string(path);
    }
    return Utf8Of(shortPath.c_str(), written);
}

} // namespace

std::string Win32Shell::StartupFolderPath(bool allUsers) {
    std::string folder =
        KnownFolderPath(allUsers ? folder_id::kCommonStartup : folder_id::kStartup).value_or("");
    while (folder.size() > 3 && folder.back() == '\\') {
        folder.pop_back();
    }
    return folder;
}

ShortcutLoad Win32Shell::LoadShortcut(std::string_view path) {
    if (!files_.FileExists(path)) {
        return {std::nullopt, "the file is not there"};
    }
    ShellLinkContext context;
    const unsigned codePage = SystemAnsiCodePage(registry_);
    context.ansiToUtf8 = [codePage](std::string_view ansi) { return AnsiToUtf8(codePage, ansi); };
    context.knownFolderPath = KnownFolderPath;
    return ShortcutFromFile(path, files_.ReadFile(path), std::move(context),
                            [](const std::string& target) { return ShortPath(ExpandedPath(target)); });
}

bool Win32Shell::SaveShortcut(std::string_view path, const ShortcutInfo& info) {
    // Every refusal sets its own cause: the caller tells the user why, never an earlier call's reason.
    const ComApartment com;
    if (!com.Ready()) {
        return Failed(ERROR_GEN_FAILURE);
    }
    const auto link = NewShellLink();
    if (!link) {
        return Failed(ERROR_GEN_FAILURE);
    }
    // The program goes to the path and everything else to its own field: a whole command line given as
    // the path makes a link that starts nothing.
    for (const HRESULT set : {link->SetPath(info.target.c_str()), link->SetArguments(info.arguments.c_str()),
                              link->SetDescription(info.description.c_str()),
                              link->SetWorkingDirectory(info.workingDirectory.c_str()),
                              link->SetIconLocation(info.iconLocation.c_str(), info.iconIndex),
                              link->SetShowCmd(info.showCommand)}) {
        if (FAILED(set)) {
            return FailedWithResult(set);
        }
    }
    const auto file = link.As<IPersistFile>(IID_IPersistFile);
    if (!file) {
        return Failed(ERROR_GEN_FAILURE);
    }
    const HRESULT saved = file->Save(WidePath(path).c_str(), TRUE);
    // Save answers HRESULT_FROM_WIN32 of the file error: keep its cause (a read-only folder, say).
    return SUCCEEDED(saved) || FailedWithResult(saved);
}

std::optional<ProgramIcon> Win32Shell::ExtractIcon(std::string_view path) {
    // ExtractIcon answers NULL when the file has no icon, and 1 when it is no executable, DLL or icon file.
    HICON extracted = ::ExtractIconA(::GetModuleHandleA(nullptr), std::string(path).c_str(), 0);
    if (extracted == reinterpret_cast<HICON>(1)) {
        return std::nullopt;
    }
    const IconHandle icon(extracted);
    return IconPixels(icon.Get());
}

ProgramIcon Win32Shell::StandardApplicationIcon() {
    // A shared icon of the system: not destroyed.
    auto icon = IconPixels(::LoadIconA(nullptr, IDI_APPLICATION));
    ProgramIcon out = icon ? std::move(*icon) : ProgramIcon{};
    out.standardApplication = true;
    return out;
}

int Win32Shell::RunCommand(std::string_view commandLine, int showCommand) {
    return static_cast<int>(::WinExec(std::string(commandLine).c_str(), static_cast<UINT>(showCommand)));
}

int Win32Shell::OpenWithVerb(std::string_view verb, std::string_view target) {
    // The shell may hand the verb to an extension that needs COM.
    const ComApartment com;
    const HINSTANCE result = ::ShellExecuteA(nullptr, std::string(verb).c_str(), std::string(target).c_str(),
                                             nullptr, nullptr, kShow);
    return static_cast<int>(reinterpret_cast<INT_PTR>(result));
}

bool Win32Shell::ShowProperties(std::string_view path) {
    const ComApartment com;
    const std::string file(path);
    SHELLEXECUTEINFOA request{};
    request.cbSize = sizeof request;
    request.fMask = SEE_MASK_INVOKEIDLIST;
    request.lpVerb = "properties";
    request.lpFile = file.c_str();
    request.lpParameters = "";
    request.nShow = kShow;
    return ::ShellExecuteExA(&request);
}

} // namespace qb::win32
