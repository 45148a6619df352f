// window/msgbox.cpp: MessageBoxA over the backend's message box (SDL's, in UTF-8), or
// answered at once by QZ_MSGBOX (testing.h). Buttons read left to right; Enter takes the
// default button and Esc the last. Main thread for the sdl backend.
#include "kernel/diag.h"
#include "kernel/text.h"
#include "platform/testing.h"
#include "window/model.h"

int MessageBoxA(HWND, LPCSTR text, LPCSTR caption, UINT type) {
    backend::MessageBoxSpec spec;
    std::vector<int> results;
    switch (type & 0xF) {
    case MB_OK:
        spec.buttons = {"OK"};
        results = {IDOK};
        break;
    case MB_OKCANCEL:
        spec.buttons = {"OK", "Cancel"};
        results = {IDOK, IDCANCEL};
        break;
    case MB_YESNO:
        spec.buttons = {"Yes", "No"};
        results = {IDYES, IDNO};
        break;
    default: return kernel::Fail(ERROR_INVALID_PARAMETER, 0, "window: MessageBoxA: button set 0x%x is not supported", type & 0xF);
    }
    spec.defaultButton = ((type & MB_DEFBUTTON2) && results.size() > 1) ? 1 : 0;

    switch (ptest::GetMessageBoxAnswer()) {
    case ptest::MessageBoxAnswer::Yes: return results.front();
    case ptest::MessageBoxAnswer::No: return results.back();
    case ptest::MessageBoxAnswer::Show: break;
    }

    spec.text = kernel::Cp932ToUtf8(text ? text : "");
    spec.caption = kernel::Cp932ToUtf8(caption ? caption : "");
    switch (type & 0xF0) {
    case MB_ICONHAND: spec.icon = backend::MessageBoxSpec::Error; break;
    case MB_ICONEXCLAMATION: spec.icon = backend::MessageBoxSpec::Warning; break;
    case MB_ICONQUESTION:
    case MB_ICONASTERISK: spec.icon = backend::MessageBoxSpec::Information; break;
    default: spec.icon = backend::MessageBoxSpec::None; break;
    }
    const int chosen = kernel::ConsumeFault("MessageBox") ? -1 : window::Machine().messageBox(spec);
    if (chosen < 0) {
        // The caller goes on as if no button were taken; the person at the machine learns
        // what was asked, what it was answered and how to answer it without a box.
        std::string buttons;
        for (const std::string& label : spec.buttons) buttons += (buttons.empty() ? "" : ", ") + label;
        kernel::Diag("window: the message box \"%s\" (\"%s\") could not be shown, so it answered 0, none of its "
                     "buttons (%s); QZ_MSGBOX=yes or QZ_MSGBOX=no answers it without a box",
                     spec.caption.c_str(), spec.text.c_str(), buttons.c_str());
        return 0;
    }
    if (chosen >= static_cast<int>(results.size())) return 0;
    return results[static_cast<size_t>(chosen)];
}
