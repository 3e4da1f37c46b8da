// The other long-running copy of the program: the notification-area icon, one per session.
// The window starts it as the signed-in user and asks whether it runs; the icon holds its name.
#pragma once

#include <windows.h>

namespace elevate {

// Local\: one per session, whoever started it.
inline constexpr const wchar_t* kTrayInstanceName = L"Local\\Keldrast.NotificationArea";

// Whether this session's icon runs.
bool trayRunning();
// Starts `keldrast /tray` as the signed-in user (never elevated); false when it could not.
bool startTrayAsUser(HWND owner);

} // namespace elevate
