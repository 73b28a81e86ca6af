#pragma once
// `quorvane --make-pdf OUT.pdf [--searchable] PICTURE...`: the PDF dialog's making from the
// command line, with no window, no display and no contact with a running copy of the program.
// It prints progress to standard error when that is a terminal and nothing else on success; each
// problem is one line on standard error.

#include <cstdio>

struct StartOptions;

// Exit codes beside 0 (the PDF holds every picture) and 1 (a wrong command line).
constexpr int kMakePdfPicturesLeftOut = 2;  // the PDF was written without some pictures
constexpr int kMakePdfNotWritten = 3;       // no PDF was written
constexpr int kMakePdfInterrupted = 130;    // stopped by Ctrl+C (or SIGTERM): no PDF written

// Makes options.pdfPath from options.files; returns the exit code. Messages go to errors.
int RunMakePdfCommand(const StartOptions& options, std::FILE* errors = stderr);
