#pragma once
// CQuorvaneApp: the application object. InitInstance runs the main window modally for the whole
// run; when the window ends, the program ends.

#include <QApplication>

#include "app/start_options.h"

class SingleInstance;

class CQuorvaneApp : public QApplication {
    Q_OBJECT

public:
    CQuorvaneApp(int& argc, char** argv);

    void SetStartOptions(const StartOptions& options) { options_ = options; }
    const StartOptions& Options() const { return options_; }
    // The claim of this copy; later copies reach the main window through it.
    void SetSingleInstance(SingleInstance* instance) { instance_ = instance; }

    // Installs the interface fonts, runs the main window and returns false: the application
    // ends with the window.
    bool InitInstance();

private:
    StartOptions options_;
    SingleInstance* instance_ = nullptr;
};
