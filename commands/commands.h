#pragma once
// The commands of the buttons and of a drop. They reach the window only through CommandHost, so
// their logic runs (and is tested) without a window.

#include <optional>
#include <string>
#include <string_view>

namespace kavo {

class CommandHost {
  public:
    // The whole text of the text box.
    virtual std::u16string Text() = 0;
    // Replaces the whole text of the text box as one edit the user can undo.
    virtual void ReplaceText(std::u16string_view text) = 0;
    // Asks the desktop shell to open an address (printable ASCII) with the user's default
    // handler, from the program's folder; does not wait for it and reports nothing.
    virtual void OpenAddress(std::string_view address) = 0;
    // Shows a modal message box owned by the window and waits until it is dismissed.
    virtual void ShowMessage(std::u16string_view text, std::u16string_view title,
                             unsigned style) = 0;

  protected:
    ~CommandHost() = default;
};

// "Вземи": puts the second site's media address for the page address in the box into the box,
// or empties it when the text is no page address. Any failure ends the command silently.
void GetLink(CommandHost& host) noexcept;

// "Свали": hands the first site's media address for the page address in the box to the shell,
// percent-encoded so that no identifier can break the browser's command line. The box is left
// as it is; anything but a page address does nothing. Any failure ends the command silently.
void Download(CommandHost& host) noexcept;

// MB_OK | MB_ICONINFORMATION, spelled out so that this code needs no Windows header.
inline constexpr unsigned kAboutStyle = 0x40;

// "За...": the author credit and home page over two lines, titled with the name and version.
void ShowAbout(CommandHost& host) noexcept;

// A drop on the window, given what the drag offers of the two kinds it takes: plain text, and the
// link some sources offer alone (each as read, up to the null that ends it). The plain text, or the
// link where there is none or it is empty, replaces the box's text as "Вземи" does, up to its first
// line break, as a paste into a one-line box takes it; nothing else is run. Neither offered:
// nothing happens. Any failure ends it silently.
void DropText(CommandHost& host, std::optional<std::u16string_view> text,
              std::optional<std::u16string_view> link) noexcept;

}  // namespace kavo
