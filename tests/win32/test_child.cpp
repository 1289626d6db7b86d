// A program for the process tests to start and stop. It opens a hidden top-level window and runs until
// that window is asked to close; with --ignore-close it refuses, and only ending it from outside stops
// it; with --exit-now it ends at once. Whatever happens, it ends by itself after a minute, so that a
// failing test never leaves it behind.
#include "platform/win32/win32_api.h"

#include <cstring>
#include <vector>

namespace {

bool ignoreClose = false;

LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CLOSE:
        if (!ignoreClose) {
            ::DestroyWindow(window);
        }
        return 0;
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    case WM_TIMER:
        ::PostQuitMessage(3);
        return 0;
    default:
        return ::DefWindowProcA(window, message, wParam, lParam);
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--exit-now") == 0) {
        return 0;
    }
    ignoreClose = argc > 1 && std::strcmp(argv[1], "--ignore-close") == 0;
    // Some memory of its own, so that the working set is worth reading.
    std::vector<char> ballast(8 * 1024 * 1024, 1);

    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = WindowProcedure;
    windowClass.hInstance = ::GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "QuillbrookTestChild";
    ::RegisterClassA(&windowClass);
    HWND window = ::CreateWindowExA(0, windowClass.lpszClassName, "Quillbrook test child",
                                    WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 200, 100, nullptr,
                                    nullptr, windowClass.hInstance, nullptr);
    if (window == nullptr) {
        return 2;
    }
    ::SetTimer(window, 1, 60 * 1000, nullptr);
    MSG message{};
    while (::GetMessageA(&message, nullptr, 0, 0) > 0) {
        ::DispatchMessageA(&message);
    }
    return static_cast<int>(message.wParam) + (ballast[ballast.size() - 1] == 1 ? 0 : 1);
}
