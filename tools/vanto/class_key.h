// The control's class key under HKEY_CLASSES_ROOT: its presence is what tells a
// program that the control is registered.
#pragma once

#include <windows.h>

namespace vanto {

inline constexpr char kClassKey[] = "CLSID\\{4B1D92E7-5A3C-4F08-9E6B-2C7D81A0F35C}";

// Creates the key with the control's name and an InprocServer32 subkey naming
// `modulePath`. Returns the registry's error code.
LONG CreateClassKey(const char* modulePath);

// Removes the key and everything below it; a missing key is not an error.
LONG DeleteClassKey();

}  // namespace vanto
