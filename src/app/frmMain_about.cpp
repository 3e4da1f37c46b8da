// About box, the link line and the cursor circle of the title label.
#include "app/frmMain.h"

#include "app/about.h"
#include "app/appinfo.h"
#include "effect/frmEff.h"
#include "toolkit/open_as_user.h"
#include "vietnamese/msgbox.h"

void frmMain::about() {
    // Reached again from inside the running effect, a box would sit under its window.
    if (frmEff::isRunning()) return;
    uniMsgBox(app::aboutText(), 64, app::aboutTitle(), hwnd());
    frmEff effect;
    effect.doeffect();
}

void frmMain::kLabel2_Click() {
    const std::wstring url(app::kMakerUrl);
    if (tk::openAsUser(hwnd(), url) == tk::OpenedBy::Nothing)
        message(L"Keldrast could not open the web address as you. Open it in your browser:\r\n" +
                    url,
                MB_ICONINFORMATION);
}

void frmMain::Label1_Click() {
    app::startCircleRun(circle_);
    Timer2.setEnabled(true);
    uniMsgBox(app::circleNoticeText(), 16, app::circleNoticeTitle(), hwnd());
}

void frmMain::Timer2_Timer() {
    POINT cursor{};
    GetCursorPos(&cursor);
    const auto move = app::circleTick(circle_, cursor.x, cursor.y);
    SetCursorPos(move.x, move.y);
    if (move.stop) Timer2.setEnabled(false);
}
