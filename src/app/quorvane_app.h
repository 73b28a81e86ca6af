#pragma once
// CQuorvaneApp: the application object. InitInstance runs the main window modally for the whole
// run; when the window ends, the program ends.

#include <QApplication>

#include "app/start_options.h"

class CQuorvaneApp : public QApplication {
    Q_OBJECT

public:
    CQuorvaneApp(int& argc, char** argv);

    void SetStartOptions(const StartOptions& options) { options_ = options; }
    const StartOptions& Options() const { return options_; }

    // Installs the interface fonts, runs the main window and returns false: the application
    // ends with the window.
    bool InitInstance();

private:
    StartOptions options_;
};
