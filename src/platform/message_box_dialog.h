#pragma once
// The modal message box of the window system, installed by the program at start-up as the
// default way QvMessageBox reaches the user, with its yes-or-no form for QvQuestionBox.

void InstallMessageBoxDialog();
