// Makes the fixture shortcuts of tests/data/lnk with the Windows shell's own IShellLink, and loads
// shortcuts back through it to check that files written elsewhere are accepted.
//
//   make_links.exe make <outdir>         writes the fixtures into <outdir>
//   make_links.exe verify <file.lnk>...  loads each file and prints what the shell reads from it
//
// Build: x86_64-w64-mingw32-g++-posix -static -O1 make_links.cpp -lole32 -lshell32 -luuid -o make_links.exe
// clang-format off
#include <windows.h> // first: the other Windows headers depend on it
#include <objbase.h>
#include <objidl.h>
#include <shellapi.h>
#include <shlguid.h>
#include <shlobj.h>
// clang-format on

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

std::wstring Widen(const char* text) {
    const int length = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    std::wstring out(static_cast<size_t>(length > 0 ? length : 1), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, out.data(), length);
    out.resize(wcslen(out.c_str()));
    return out;
}

bool Check(HRESULT hr, const char* what) {
    if (FAILED(hr)) {
        std::printf("%s failed: 0x%08lx\n", what, static_cast<unsigned long>(hr));
        return false;
    }
    return true;
}

bool SaveAs(IUnknown* link, const std::wstring& file) {
    IPersistFile* persist = nullptr;
    if (!Check(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist)),
               "QueryInterface")) {
        return false;
    }
    const bool ok = Check(persist->Save(file.c_str(), TRUE), "Save");
    persist->Release();
    return ok;
}

struct AnsiLink {
    const char* file;
    const char* path;
    const char* description;
    const char* arguments;
    const char* workingDirectory;
    const char* iconLocation;
    int iconIndex;
    int showCommand;
    WORD hotKey;
};

// Through the A interface, as most installers of the time made their shortcuts.
const AnsiLink kAnsiLinks[] = {
    {"plain.lnk", "C:\\windows\\notepad.exe", "Edit text files", nullptr, nullptr, nullptr, 0, 0, 0},
    {"all_fields.lnk", "C:\\windows\\system32\\cmd.exe", "Command prompt", "/k echo hello", "C:\\windows",
     "C:\\windows\\system32\\shell32.dll", 3, SW_SHOWMINNOACTIVE,
     MAKEWORD('Q', HOTKEYF_CONTROL | HOTKEYF_ALT)},
    {"spaces.lnk", "C:\\Program Files\\Common Files\\My App\\run me.exe", "Path with spaces", nullptr,
     nullptr, nullptr, 0, 0, 0},
    {"missing_target.lnk", "C:\\No Such Folder\\gone.exe", "Target does not exist", "--quiet", nullptr,
     nullptr, 0, SW_SHOWMAXIMIZED, 0},
    {"bare_name.lnk", "notepad.exe", "Bare name", nullptr, nullptr, nullptr, 0, 0, 0},
    {"network.lnk", "\\\\server\\share\\app.exe", "Network path", nullptr, nullptr, nullptr, 0, 0, 0},
};

bool MakeAnsi(const AnsiLink& wanted, const std::wstring& outDir) {
    IShellLinkA* link = nullptr;
    if (!Check(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(&link)),
               "CoCreateInstance")) {
        return false;
    }
    bool ok = Check(link->SetPath(wanted.path), "SetPath");
    if (ok && wanted.description) {
        ok = Check(link->SetDescription(wanted.description), "SetDescription");
    }
    if (ok && wanted.arguments) {
        ok = Check(link->SetArguments(wanted.arguments), "SetArguments");
    }
    if (ok && wanted.workingDirectory) {
        ok = Check(link->SetWorkingDirectory(wanted.workingDirectory), "SetWorkingDirectory");
    }
    if (ok && wanted.iconLocation) {
        ok = Check(link->SetIconLocation(wanted.iconLocation, wanted.iconIndex), "SetIconLocation");
    }
    if (ok && wanted.showCommand) {
        ok = Check(link->SetShowCmd(wanted.showCommand), "SetShowCmd");
    }
    if (ok && wanted.hotKey) {
        ok = Check(link->SetHotkey(wanted.hotKey), "SetHotkey");
    }
    if (ok) {
        ok = SaveAs(link, outDir + L"\\" + Widen(wanted.file));
    }
    link->Release();
    return ok;
}

// Non-ASCII goes through the W interface: the ANSI code page under Wine is not UTF-8.
bool MakeUnicode(const std::wstring& outDir) {
    IShellLinkW* link = nullptr;
    if (!Check(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&link)),
               "CoCreateInstance")) {
        return false;
    }
    bool ok = Check(link->SetPath(L"C:\\Program Files\\Z\u00fcrich Tools\\app.exe"), "SetPath") &&
              Check(link->SetDescription(L"Z\u00fcrich \u2013 \u65e5\u672c"), "SetDescription") &&
              Check(link->SetArguments(L"--stadt=Z\u00fcrich"), "SetArguments");
    if (ok) {
        ok = SaveAs(link, outDir + L"\\non_ascii.lnk");
    }
    link->Release();
    return ok;
}

void PrintField(const char* name, const char* value) {
    std::printf("%s=%s\n", name, value);
}

// UTF-8 whatever the console code page is, so that the output can be compared byte for byte.
void PrintWide(const char* name, const wchar_t* value) {
    char text[MAX_PATH * 4] = {};
    WideCharToMultiByte(CP_UTF8, 0, value, -1, text, sizeof text, nullptr, nullptr);
    PrintField(name, text);
}

// What the W interface and the item list give, which the A interface cannot show for non-ASCII text.
void PrintUnicodeView(IShellLinkA* link) {
    IShellLinkW* wide = nullptr;
    if (FAILED(link->QueryInterface(IID_IShellLinkW, reinterpret_cast<void**>(&wide)))) {
        return;
    }
    wchar_t text[MAX_PATH * 2] = {};
    wide->GetPath(text, MAX_PATH * 2, nullptr, SLGP_RAWPATH);
    PrintWide("pathW", text);
    text[0] = L'\0';
    wide->GetPath(text, MAX_PATH * 2, nullptr, 0);
    PrintWide("pathW0", text);
    text[0] = L'\0';
    wide->GetPath(text, MAX_PATH * 2, nullptr, SLGP_UNCPRIORITY);
    PrintWide("pathWunc", text);
    text[0] = L'\0';
    wide->GetDescription(text, MAX_PATH * 2);
    PrintWide("descriptionW", text);
    PIDLIST_ABSOLUTE items = nullptr;
    text[0] = L'\0';
    if (wide->GetIDList(&items) == S_OK && items) {
        SHGetPathFromIDListW(items, text);
        CoTaskMemFree(items);
    }
    PrintWide("idListPath", text);
    wide->Release();
}

bool Verify(const std::wstring& file) {
    IShellLinkA* link = nullptr;
    if (!Check(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(&link)),
               "CoCreateInstance")) {
        return false;
    }
    IPersistFile* persist = nullptr;
    bool ok =
        Check(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist)), "QueryInterface");
    if (ok) {
        ok = Check(persist->Load(file.c_str(), STGM_READ), "Load");
        persist->Release();
    }
    if (ok) {
        char text[MAX_PATH * 4] = {};
        int iconIndex = 0;
        int showCommand = 0;
        WORD hotKey = 0;
        link->GetPath(text, sizeof text, nullptr, SLGP_RAWPATH);
        PrintField("path", text);
        text[0] = '\0';
        link->GetDescription(text, sizeof text);
        PrintField("description", text);
        text[0] = '\0';
        link->GetArguments(text, sizeof text);
        PrintField("arguments", text);
        text[0] = '\0';
        link->GetWorkingDirectory(text, sizeof text);
        PrintField("workingDirectory", text);
        text[0] = '\0';
        link->GetIconLocation(text, sizeof text, &iconIndex);
        PrintField("iconLocation", text);
        link->GetShowCmd(&showCommand);
        link->GetHotkey(&hotKey);
        std::printf("iconIndex=%d\nshowCommand=%d\nhotKey=0x%04x\n", iconIndex, showCommand, hotKey);
        PrintUnicodeView(link);
    }
    link->Release();
    return ok;
}

} // namespace

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argc < 3 || (wcscmp(argv[1], L"make") != 0 && wcscmp(argv[1], L"verify") != 0)) {
        std::printf("usage: make_links make <outdir> | make_links verify <file.lnk>...\n");
        return 2;
    }
    if (!Check(CoInitialize(nullptr), "CoInitialize")) {
        return 1;
    }
    bool ok = true;
    if (wcscmp(argv[1], L"make") == 0) {
        const std::wstring outDir = argv[2];
        for (const AnsiLink& link : kAnsiLinks) {
            ok = MakeAnsi(link, outDir) && ok;
        }
        ok = MakeUnicode(outDir) && ok;
    } else {
        for (int i = 2; i < argc; ++i) {
            std::printf("== %ls\n", argv[i]);
            ok = Verify(argv[i]) && ok;
        }
    }
    CoUninitialize();
    return ok ? 0 : 1;
}
