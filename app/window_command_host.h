#pragma once
// The commands' view of the window and the desktop: the text box's text through Win32 messages,
// and the shell.

#include <windows.h>

#include "commands.h"

namespace kavo {

class WindowCommandHost final : public CommandHost {
  public:
    void Attach(HWND form, HWND text1) {
        form_ = form;
        text1_ = text1;
    }
    std::u16string Text() override;
    void ReplaceText(std::u16string_view text) override;
    void OpenAddress(std::string_view address) override;
    void ShowMessage(std::u16string_view text, std::u16string_view title, unsigned style) override;

  private:
    HWND form_ = nullptr;
    HWND text1_ = nullptr;
};

}  // namespace kavo
