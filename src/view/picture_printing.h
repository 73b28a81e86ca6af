#pragma once
// Printing the shown picture: one page, the picture centred and as large as the printable area
// allows with its proportions kept, on the printer chosen with "打印设置" for the run or else
// the desktop's default printer. Printers are the CUPS queues that Qt Print Support lists.
//
// User-interface thread only.

#include <QPageLayout>
#include <QPrinter>
#include <QString>
#include <cstdint>
#include <functional>

#include "platform/win_types.h"

class CDibImage;
class QWidget;

// The printer chosen by "打印设置", kept for the rest of the run (never stored in the settings
// file). A CUPS queue is named by its queue name alone; Qt's PDF output by the file it writes.
struct PrinterChoice {
    static constexpr const char16_t* kCupsDriver = u"CUPS";
    static constexpr const char16_t* kPdfDriver = u"PDF";

    QString device;  // the queue name ("PDF" for Qt's PDF output); empty: none chosen
    QString driver;  // kCupsDriver or kPdfDriver
    QString port;    // Qt's PDF output: the file written; a queue: empty
    // What else the print dialog set for that printer.
    int copies = 1;
    bool collate = true;
    QPageLayout pageLayout;  // invalid: the printer's own default page
    QPrinter::ColorMode colorMode = QPrinter::Color;
    QPrinter::DuplexMode duplex = QPrinter::DuplexAuto;

    bool IsChosen() const { return !device.isEmpty(); }
    bool IsPdfOutput() const { return driver == QStringView(kPdfDriver); }
};

// The name every print job carries.
inline constexpr const char16_t* kPrintJobName = u"Brevinaxor printer";

// Where a picture of width x height goes on a printable area of pageWidth x pageHeight device
// pixels whose top-left corner is (0, 0): scaled to fill the area in one direction, centred in
// the other. Empty when any of the four is zero.
QvRect PrintPageRect(int32_t width, int32_t height, int32_t pageWidth, int32_t pageHeight);

// Runs the print dialog on a printer set up as `printer` describes; tests and scripted runs
// replace it. It returns when the dialog is closed, whichever way.
using PrintDialogRunner = std::function<void(QPrinter& printer, QWidget* parent)>;
// Installs a runner (an empty one restores the print dialog) and returns the previous one.
PrintDialogRunner SetPrintDialogRunner(PrintDialogRunner runner);

// "打印设置": the print dialog (no print to file, no page range, copies collated) opened on the
// current choice, or on the default printer when there is none. Whatever way the dialog was
// closed, the printer it then holds is the new choice; an empty choice when it holds none.
PrinterChoice ChoosePrinter(const PrinterChoice& current, QWidget* parent);

enum class PrintResult {
    kPrinted,
    kNoPicture,  // nothing to print: the picture could not be read
    kNoPrinter,  // the chosen printer is gone, or there is no printer at all
    kFailed,     // the printer refused, stopped or aborted the job
    kWaiting,    // the queue holds the job but is paused (or holds the job back)
};

// Prints picture on one page of the chosen printer (the default printer when none is chosen).
// Never sends a job to any other printer than the one asked for. A job handed to a CUPS queue
// is followed to see whether the queue took it; `reason` (may be null) receives the queue's
// reason when it did not, or holds it back.
PrintResult PrintPicture(const CDibImage& picture, const PrinterChoice& choice,
                         QString* reason = nullptr);

// The message a print ends with ("打印完成", "打印失败：<the queue's reason>" ...), and its
// caption "打印机".
QString PrintResultText(PrintResult result, const QString& reason = QString());
QString PrintMessageCaption();
