// The Vietnamese message box: text and title in VNI notation, shown through MessageBoxW,
// with the message text and the standard buttons given a Tahoma font and Vietnamese captions
// ("OK" becomes "Đóng", "Cancel" becomes "Thoát", ...) just before the box appears.
#pragma once

#include <windows.h>

#include <string_view>

// Shows the box and returns the identifier of the button that closed it, 0 when the box
// could not be shown.
// The flags are passed through unchanged.
int uniMsgBox(std::wstring_view text, UINT flags, std::wstring_view title, HWND owner);

// The one-shot CBT hook that restyles the box when it is first activated, then removes
// itself. Installed by uniMsgBox only.
LRESULT CALLBACK msgBoxHookProc(int code, WPARAM wParam, LPARAM lParam) noexcept;

// The handle of the hook that uniMsgBox last installed on this thread. It has been removed
// by the time uniMsgBox returns.
HHOOK lastMsgBoxHook() noexcept;
