// The other long-running copy of the program: the notification-area icon, one per session and
// user. The window starts it as the signed-in user and asks whether it runs; the icon holds
// its place by name.
#pragma once

#include <windows.h>

#include <string>

namespace elevate {

inline constexpr const wchar_t* kTrayClassName = L"KeldrastNotificationArea";

// The name of the icon's place: Local\ (one per session) and the user's SID, so that another
// account's process can neither guess nor hold it before the icon starts.
std::wstring trayInstanceName();
// Whether an icon's window of this desktop answers a message within the wait.
bool trayAnswers(DWORD waitMs);
// Whether this session's icon runs: its place is taken and its window answers.
bool trayRunning();
// Starts `keldrast /tray` as the signed-in user (never elevated); false when it could not.
bool startTrayAsUser(HWND owner);
// Tells the icon, once its window answers within the wait, that the main window went to the
// notification area (the message kWindowKeptMessage names).
inline constexpr const wchar_t* kWindowKeptMessage = L"Keldrast.WindowKept";
void tellTrayWindowKept(DWORD waitMs);

} // namespace elevate
