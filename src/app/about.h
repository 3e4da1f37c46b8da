// Texts of the About box and of the cursor circle notice. The box texts are kept in VNI
// notation, as the localised message box expects; the notice line under the title is
// already Unicode. Pure.
#pragma once

#include <string>

namespace app {

// The twelve lines of the About box, each ended by CR LF, in VNI notation.
std::wstring aboutText();
// "Tho6ng tin ve62 Keldrast!"
std::wstring aboutTitle();

// The notice shown when the title label starts the cursor circle, in VNI notation.
std::wstring circleNoticeText();
// "Tho6ng ba1o!"
std::wstring circleNoticeTitle();

// The notice line of the main window (kLabel1's caption), in UTF-16. It holds Vietnamese
// letters outside the ANSI code page.
std::wstring noticeLineText();

} // namespace app
