#pragma once
// The per-user folders the program keeps its settings in and saves its output to by default.

#include <QString>

// The folder of the settings file, ending in "/": $XDG_CONFIG_HOME/quorvane/, or
// ~/.config/quorvane/ when XDG_CONFIG_HOME is unset, empty or relative. Created with mode 0700
// when missing (an existing folder keeps its mode). Empty when no home folder is known, so the
// settings file never falls back to a shared folder such as /tmp.
QString SettingsFolder();

// The user's documents folder, or the empty string when the platform names none.
QString DocumentsFolder();
