#include "class_key.h"

#include <cstring>

namespace vanto {
namespace {

constexpr char kControlName[] = "Vanto Video Control";

// Owns an open registry key.
class Key {
public:
    Key() = default;
    ~Key() {
        if (handle_ != nullptr) RegCloseKey(handle_);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;

    LONG Create(HKEY parent, const char* name) {
        return RegCreateKeyExA(parent, name, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr,
                               &handle_, nullptr);
    }
    LONG SetText(const char* valueName, const char* text) {
        return RegSetValueExA(handle_, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                              static_cast<DWORD>(std::strlen(text) + 1));
    }
    HKEY get() const { return handle_; }

private:
    HKEY handle_ = nullptr;
};

}  // namespace

LONG CreateClassKey(const char* modulePath) {
    LONG status = ERROR_SUCCESS;
    {
        Key classKey;
        Key server;
        if ((status = classKey.Create(HKEY_CLASSES_ROOT, kClassKey)) == ERROR_SUCCESS &&
            (status = classKey.SetText(nullptr, kControlName)) == ERROR_SUCCESS &&
            (status = server.Create(classKey.get(), "InprocServer32")) == ERROR_SUCCESS &&
            (status = server.SetText(nullptr, modulePath)) == ERROR_SUCCESS) {
            status = server.SetText("ThreadingModel", "Apartment");
        }
    }
    // The key alone means "registered": a half-written one must not stay behind.
    if (status != ERROR_SUCCESS) DeleteClassKey();
    return status;
}

LONG DeleteClassKey() {
    const LONG status = RegDeleteTreeA(HKEY_CLASSES_ROOT, kClassKey);
    return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
}

}  // namespace vanto
