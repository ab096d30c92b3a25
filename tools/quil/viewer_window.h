// The viewer's one top-level window, titled "QUIL" and never shown: the library
// finds it by that title to ask the viewer to quit, and it is also the command
// window whose handle goes into the rendezvous mapping.
#pragma once

#include <windows.h>

#include "command_handler.h"
#include "result_delivery.h"

namespace quil {

struct ViewerParts {
    CommandHandler* commands;
    ResultDelivery* delivery;
};

// Registers the class and creates the hidden window; null on failure. `parts` must
// outlive the window.
HWND CreateViewerWindow(HINSTANCE instance, ViewerParts* parts);

}  // namespace quil
