#include "ui/main_window_services.h"

namespace {
MainWindowServices* g_mainWindow = nullptr;
}

MainWindowServices* TheMainWindow() {
    return g_mainWindow;
}

void SetTheMainWindow(MainWindowServices* window) {
    g_mainWindow = window;
}
