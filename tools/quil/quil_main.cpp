// Quil.exe, the viewer simulator: plays the viewer process's side of the library's
// contract without a video server, scripted by QUIL_SCRIPT and witnessed by
// QUIL_JOURNAL. See docs/viewer-simulator.md.
#include <windows.h>

#include <cstdint>
#include <string>

#include "command_handler.h"
#include "journal_file.h"
#include "journal_lines.h"
#include "rendezvous_mapping.h"
#include "result_delivery.h"
#include "viewer_script.h"
#include "viewer_window.h"

namespace {

constexpr DWORD kMaxEnvironmentValue = 1024;

std::string Environment(const char* name) {
    char value[kMaxEnvironmentValue];
    const DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
    if (length == 0 || length >= sizeof value) return std::string();
    return std::string(value, length);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    quil::JournalFile journal(Environment("QUIL_JOURNAL").c_str());
    const int instanceNumber = journal.CountStarts() + 1;
    const quil::ViewerSettings settings = quil::LoadScript(Environment("QUIL_SCRIPT").c_str(), instanceNumber);
    if (settings.fast) journal.Disable();
    journal.Write(quil::StartLine(GetCurrentProcessId(), instanceNumber));

    // Everything up to the message loop is quick: the library's WinExec returns
    // once we first wait for messages, and it opens the mapping right then.
    quil::RendezvousMapping mapping;
    if (settings.createMapping) mapping.Create();

    quil::ResultDelivery delivery(settings, journal);
    quil::CommandHandler commands(settings, journal, delivery);
    quil::ViewerParts parts{&commands, &delivery};
    HWND window = quil::CreateViewerWindow(instance, &parts);
    if (window == nullptr) return 1;
    delivery.SetViewerWindow(window);
    mapping.PublishViewerWindow(
        settings.publishHandle ? HandleToLong(window) : 0);

    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    journal.Write(quil::QuitLine());
    return 0;
}
