// The Vietnamese message box: text and title in VNI notation, shown through tk::messageBox
// (so a test answers it as it answers every other box), with the message text and the standard
// buttons given a Tahoma font and Vietnamese captions
// ("OK" becomes "Đóng", "Cancel" becomes "Thoát", ...) just before the box appears.
#pragma once

#include <windows.h>

#include <string_view>

// Shows the box and returns the identifier of the button that closed it, 0 when the box
// could not be shown.
// The flags are passed through unchanged.
int uniMsgBox(std::wstring_view text, UINT flags, std::wstring_view title, HWND owner);
