#include "platform/win32/win32_shell.h"

#include "platform/text.h"
#include "platform/win32/win32_failure.h"
#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_icons.h"

#include <optional>

namespace qb::win32 {

namespace {

// Room for MAX_PATH UTF-16 units of three UTF-8 bytes each: the ANSI getters convert into the buffer the
// caller gives, and 260 bytes would cut a path of non-ASCII names.
constexpr int kTextBytes = MAX_PATH * 3 + 1;
// INFOTIPSIZE (1024 characters): the longest description or arguments the shell keeps.
constexpr int kLongTextBytes = 1024 * 3 + 1;

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

template <typename Getter> std::string GetText(int bytes, Getter get) {
    std::string text(static_cast<std::size_t>(bytes), '\0');
    if (FAILED(get(text.data(), bytes))) {
        return {};
    }
    text.resize(text.find('\0') == std::string::npos ? text.size() : text.find('\0'));
    return text;
}

std::wstring WidePath(std::string_view path) {
    const std::u16string wide = Utf8ToUtf16(path);
    return std::wstring(wide.begin(), wide.end());
}

std::string Utf8Path(const wchar_t* path) {
    return Utf16ToUtf8(std::u16string(path, path + ::wcslen(path)));
}

// The path of an item list; the wide form, as SHGetPathFromIDListA writes into MAX_PATH bytes, too few
// for a UTF-8 path of non-ASCII folder names.
std::optional<std::string> PathOf(LPCITEMIDLIST items) {
    wchar_t path[MAX_PATH] = {};
    if (items == nullptr || !::SHGetPathFromIDListW(items, path)) {
        return std::nullopt;
    }
    return Utf8Path(path);
}

// A character the conversion from a link's ANSI text could not map: U+FFFD, or the '?' that no file
// name holds (past a "\\?\" prefix).
bool LostInConversion(std::string_view path) {
    const std::size_t names = path.starts_with("\\\\?\\") ? 4 : 0;
    return path.find("\xEF\xBF\xBD") != std::string_view::npos ||
           path.find('?', names) != std::string_view::npos;
}

// Wine takes a link's path from the ANSI copy in its LinkInfo and converts it with the current code page,
// so a link made where another ANSI code page was in force loses its non-ASCII letters. The item list
// keeps every name in UTF-16 as well; Windows reads the path from there itself. Returns the item list's
// path in short form, or nullopt when the link has no item list with a file-system path.
std::optional<std::string> ShortPathFromItemList(IShellLinkA& link) {
    ItemListHandle items;
    if (FAILED(link.GetIDList(items.Receive()))) {
        return std::nullopt;
    }
    const auto path = PathOf(items.Get());
    if (!path) {
        return std::nullopt;
    }
    const std::wstring wide = WidePath(*path);
    wchar_t shortPath[MAX_PATH] = {};
    const DWORD length = ::GetShortPathNameW(wide.c_str(), shortPath, MAX_PATH);
    return length > 0 && length < MAX_PATH ? Utf8Path(shortPath) : *path;
}

} // namespace

std::string Win32Shell::StartupFolderPath(bool allUsers) {
    ItemListHandle items;
    if (FAILED(::SHGetSpecialFolderLocation(nullptr, allUsers ? CSIDL_COMMON_STARTUP : CSIDL_STARTUP,
                                            items.Receive()))) {
        return {};
    }
    std::string folder = PathOf(items.Get()).value_or("");
    while (folder.size() > 3 && folder.back() == '\\') {
        folder.pop_back();
    }
    return folder;
}

ShortcutLoad Win32Shell::LoadShortcut(std::string_view path) {
    const ComApartment com;
    if (!com.Ready()) {
        return {std::nullopt, "the shell could not be started"};
    }
    const auto link = NewShellLink();
    const auto file = link.As<IPersistFile>(IID_IPersistFile);
    if (!file || FAILED(file->Load(WidePath(path).c_str(), STGM_READ))) {
        return {std::nullopt, "the file is no shortcut Windows can load"};
    }
    // What the file holds is read before Resolve: Wine's Resolve fills an empty icon location with the
    // target's path, and nothing but the target is resolved anyway.
    ShortcutInfo info;
    info.arguments =
        GetText(kLongTextBytes, [&](char* buffer, int size) { return link->GetArguments(buffer, size); });
    info.description =
        GetText(kLongTextBytes, [&](char* buffer, int size) { return link->GetDescription(buffer, size); });
    info.workingDirectory =
        GetText(kTextBytes, [&](char* buffer, int size) { return link->GetWorkingDirectory(buffer, size); });
    int iconIndex = 0;
    info.iconLocation = GetText(
        kTextBytes, [&](char* buffer, int size) { return link->GetIconLocation(buffer, size, &iconIndex); });
    info.iconIndex = iconIndex;
    int showCommand = kShowNormal;
    if (SUCCEEDED(link->GetShowCmd(&showCommand))) {
        info.showCommand = showCommand;
    }

    // No window may come up while a list loads, and loading never rewrites the user's file. A link whose
    // target is gone fails to resolve and is read as it stands.
    link->Resolve(nullptr, SLR_NO_UI | SLR_NOUPDATE | (DWORD{kResolveTimeoutMs} << 16));
    info.target = GetText(kTextBytes, [&](char* buffer, int size) {
        return link->GetPath(buffer, size, nullptr, SLGP_SHORTPATH);
    });
    if (LostInConversion(info.target)) {
        info.target = ShortPathFromItemList(*link.Get()).value_or(info.target);
    }
    return {info, {}};
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
