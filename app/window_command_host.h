#pragma once
// The commands' view of the window: the text box's text, through Win32 messages.

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

  private:
    HWND form_ = nullptr;
    HWND text1_ = nullptr;
};

}  // namespace kavo
