// Answers WM_GETOBJECT for a control drawn by the program: the system's standard object for
// the window (name from the window text, state, location), reporting the given role.
#pragma once

#include <windows.h>

// `role` is one of the ROLE_SYSTEM_ values (push button, static text).
LRESULT answerGetObjectWithRole(HWND window, WPARAM wParam, LPARAM lParam, long role);
