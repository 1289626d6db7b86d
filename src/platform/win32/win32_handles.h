#pragma once

#include "platform/win32/win32_api.h"

#include <utility>

namespace qb::win32 {

// Owns one Windows handle of the kind Traits describes (its type, its "none" value, how it is closed).
// Move-only, and never converts to the raw handle by itself: Get() marks every place one escapes.
template <typename Traits> class UniqueHandle {
public:
    using Handle = typename Traits::Handle;

    UniqueHandle() = default;
    explicit UniqueHandle(Handle handle) : handle_(handle) {}
    ~UniqueHandle() { Reset(); }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.Release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) {
            Reset(other.Release());
        }
        return *this;
    }

    Handle Get() const { return handle_; }
    explicit operator bool() const { return handle_ != Traits::None(); }
    Handle Release() { return std::exchange(handle_, Traits::None()); }
    void Reset(Handle handle = Traits::None()) {
        if (handle_ != Traits::None()) {
            Traits::Close(handle_);
        }
        handle_ = handle;
    }
    // For functions that hand a new handle out through a pointer; whatever was held is closed first.
    Handle* Receive() {
        Reset();
        return &handle_;
    }

private:
    Handle handle_ = Traits::None();
};

// An open registry key. The predefined roots (HKEY_CURRENT_USER, ...) are never held in one.
struct RegistryKeyTraits {
    using Handle = HKEY;
    static Handle None() { return nullptr; }
    static void Close(Handle key) { ::RegCloseKey(key); }
};
// A process or other kernel object whose "none" is NULL (OpenProcess).
struct KernelObjectTraits {
    using Handle = HANDLE;
    static Handle None() { return nullptr; }
    static void Close(Handle handle) { ::CloseHandle(handle); }
};
// A file or snapshot whose "none" is INVALID_HANDLE_VALUE (CreateFile, CreateToolhelp32Snapshot).
struct FileObjectTraits {
    using Handle = HANDLE;
    static Handle None() { return INVALID_HANDLE_VALUE; }
    static void Close(Handle handle) { ::CloseHandle(handle); }
};
struct FindTraits {
    using Handle = HANDLE;
    static Handle None() { return INVALID_HANDLE_VALUE; }
    static void Close(Handle handle) { ::FindClose(handle); }
};
struct ModuleTraits {
    using Handle = HMODULE;
    static Handle None() { return nullptr; }
    static void Close(Handle module) { ::FreeLibrary(module); }
};
// An icon the caller owns (ExtractIcon); shared icons from LoadIcon are never put in one.
struct IconTraits {
    using Handle = HICON;
    static Handle None() { return nullptr; }
    static void Close(Handle icon) { ::DestroyIcon(icon); }
};
struct BitmapTraits {
    using Handle = HBITMAP;
    static Handle None() { return nullptr; }
    static void Close(Handle bitmap) { ::DeleteObject(bitmap); }
};
struct MemoryDcTraits {
    using Handle = HDC;
    static Handle None() { return nullptr; }
    static void Close(Handle dc) { ::DeleteDC(dc); }
};
// An item list the shell allocated with the task allocator.
struct ItemListTraits {
    using Handle = LPITEMIDLIST;
    static Handle None() { return nullptr; }
    static void Close(Handle list) { ::CoTaskMemFree(list); }
};

using RegistryKeyHandle = UniqueHandle<RegistryKeyTraits>;
using KernelHandle = UniqueHandle<KernelObjectTraits>;
using ProcessHandle = KernelHandle;
using FileHandle = UniqueHandle<FileObjectTraits>;
using FindHandle = UniqueHandle<FindTraits>;
using ModuleHandle = UniqueHandle<ModuleTraits>;
using IconHandle = UniqueHandle<IconTraits>;
using BitmapHandle = UniqueHandle<BitmapTraits>;
using MemoryDcHandle = UniqueHandle<MemoryDcTraits>;
using ItemListHandle = UniqueHandle<ItemListTraits>;

// Holds one reference to a COM interface and releases it on destruction.
template <typename Interface> class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() { Reset(); }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ComPtr(ComPtr&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
    ComPtr& operator=(ComPtr&& other) noexcept {
        if (this != &other) {
            Reset();
            pointer_ = std::exchange(other.pointer_, nullptr);
        }
        return *this;
    }

    Interface* operator->() const { return pointer_; }
    Interface* Get() const { return pointer_; }
    explicit operator bool() const { return pointer_ != nullptr; }
    void Reset() {
        if (pointer_ != nullptr) {
            pointer_->Release();
            pointer_ = nullptr;
        }
    }
    // For CoCreateInstance and QueryInterface, which hand the new reference out as void**.
    void** ReceiveVoid() {
        Reset();
        return reinterpret_cast<void**>(&pointer_);
    }

    // Another interface of the same object; empty when the object has none of that kind.
    template <typename Other> ComPtr<Other> As(REFIID iid) const {
        ComPtr<Other> other;
        if (pointer_ != nullptr && FAILED(pointer_->QueryInterface(iid, other.ReceiveVoid()))) {
            other.Reset();
        }
        return other;
    }

private:
    Interface* pointer_ = nullptr;
};

// COM for the calling thread, for as long as the object lives. Nested use is cheap: a thread that has COM
// already only gains a reference. A thread in the multithreaded apartment keeps it; the shell link
// object works in either.
class ComApartment {
public:
    ComApartment() : result_(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}
    ~ComApartment() {
        if (SUCCEEDED(result_)) {
            ::CoUninitialize();
        }
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

    bool Ready() const { return SUCCEEDED(result_) || result_ == RPC_E_CHANGED_MODE; }

private:
    HRESULT result_;
};

// The function a DLL exports under a name, as the function type the caller expects; nullptr when the
// DLL is not loaded or has no such export.
template <typename Function> Function LookUp(const ModuleHandle& module, const char* name) {
    if (!module) {
        return nullptr;
    }
    // GetProcAddress's generic pointer goes through void(*)() so that the compiler sees a deliberate cast.
    const auto generic = reinterpret_cast<void (*)()>(::GetProcAddress(module.Get(), name));
    return reinterpret_cast<Function>(generic);
}

} // namespace qb::win32
