#pragma once
// The commands' view of the window and the desktop: the text box's text through Win32 messages,
// and the shell.

#include <windows.h>

#include "commands.h"

namespace kavo {

class WindowCommandHost final : public CommandHost {
  public:
    void Attach(HWND window, HWND addressBox) {
        window_ = window;
        addressBox_ = addressBox;
    }
    std::u16string Text() override;
    void ReplaceText(std::u16string_view text) override;
    void OpenAddress(std::string_view address) override;
    void ShowMessage(std::u16string_view text, std::u16string_view title, unsigned style) override;

  private:
    HWND window_ = nullptr;
    HWND addressBox_ = nullptr;
};

}  // namespace kavo
