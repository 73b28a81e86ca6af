#pragma once
// The modal message and question boxes of the window system, installed by the program at
// start-up as the default way QvMessageBox and QvConfirm reach the user.

void InstallMessageBoxDialog();
