#include "view/picture_printing.h"

#include <QPainter>
#include <QPrintDialog>
#include <QPrinterInfo>
#include <memory>
#include <optional>

#include "image/dib_image.h"
#include "view/print_job_watch.h"

namespace {

PrintDialogRunner& InstalledRunner() {
    static PrintDialogRunner runner;
    return runner;
}

void RunPrintDialog(QPrinter& printer, QWidget* parent) {
    QPrintDialog dialog(&printer, parent);
    dialog.setOptions(QAbstractPrintDialog::PrintCollateCopies |
                      QAbstractPrintDialog::PrintShowPageSize);
    dialog.exec();
}

void ApplySettings(QPrinter& printer, const PrinterChoice& choice) {
    printer.setCopyCount(choice.copies);
    printer.setCollateCopies(choice.collate);
    if (choice.pageLayout.isValid()) {
        printer.setPageLayout(choice.pageLayout);
    }
    printer.setColorMode(choice.colorMode);
    printer.setDuplex(choice.duplex);
}

// The printer a choice names, set up as the dialog left it; null when that printer (or, with
// no choice, any default printer) does not exist.
std::unique_ptr<QPrinter> OpenPrinter(const PrinterChoice& choice) {
    std::unique_ptr<QPrinter> printer;
    if (choice.IsPdfOutput()) {
        printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(choice.port);
    } else {
        const QPrinterInfo info = choice.IsChosen() ? QPrinterInfo::printerInfo(choice.device)
                                                    : QPrinterInfo::defaultPrinter();
        if (info.isNull()) {
            return nullptr;
        }
        printer = std::make_unique<QPrinter>(info, QPrinter::HighResolution);
    }
    if (choice.IsChosen()) {
        ApplySettings(*printer, choice);
    }
    return printer;
}

PrinterChoice ChoiceFrom(const QPrinter& printer) {
    PrinterChoice choice;
    if (printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty()) {
        choice.device = QString::fromUtf16(PrinterChoice::kPdfDriver);
        choice.driver = choice.device;
        choice.port = printer.outputFileName();
    } else if (!printer.printerName().isEmpty()) {
        choice.device = printer.printerName();
        choice.driver = QString::fromUtf16(PrinterChoice::kCupsDriver);
    } else {
        return choice;
    }
    choice.copies = printer.copyCount();
    choice.collate = printer.collateCopies();
    choice.pageLayout = printer.pageLayout();
    choice.colorMode = printer.colorMode();
    choice.duplex = printer.duplex();
    return choice;
}

}  // namespace

QvRect PrintPageRect(int32_t width, int32_t height, int32_t pageWidth, int32_t pageHeight) {
    if (width == 0 || height == 0 || pageWidth == 0 || pageHeight == 0) {
        return {};
    }
    const double w = width;
    const double h = height;
    const double pw = pageWidth;
    const double ph = pageHeight;
    // The picture fills the page's width when it is relatively wider than the page.
    const double scale = pw / ph < w / h ? pw / w : ph / h;
    const auto gw = static_cast<int32_t>(w * scale);
    const auto gh = static_cast<int32_t>(h * scale);
    return {(pageWidth - gw) / 2, (pageHeight - gh) / 2, (pageWidth + gw) / 2,
            (pageHeight + gh) / 2};
}

PrintDialogRunner SetPrintDialogRunner(PrintDialogRunner runner) {
    PrintDialogRunner previous = std::move(InstalledRunner());
    InstalledRunner() = std::move(runner);
    return previous;
}

PrinterChoice ChoosePrinter(const PrinterChoice& current, QWidget* parent) {
    std::unique_ptr<QPrinter> printer = OpenPrinter(current);
    if (printer == nullptr) {
        // The chosen printer is gone: the dialog opens on the desktop's default printer.
        printer = OpenPrinter({});
    }
    if (printer == nullptr) {
        printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    }
    if (!current.IsChosen()) {
        printer->setCollateCopies(true);
    }
    printer->setPrintRange(QPrinter::AllPages);
    if (InstalledRunner()) {
        InstalledRunner()(*printer, parent);
    } else {
        RunPrintDialog(*printer, parent);
    }
    return ChoiceFrom(*printer);
}

PrintResult PrintPicture(const CDibImage& picture, const PrinterChoice& choice, QString* reason) {
    const auto width = static_cast<int32_t>(picture.GetWidth());
    const auto height = static_cast<int32_t>(picture.GetHeight());
    if (!picture.IsValid() || width == 0 || height == 0) {
        return PrintResult::kNoPicture;
    }
    const std::unique_ptr<QPrinter> printer = OpenPrinter(choice);
    if (printer == nullptr) {
        return PrintResult::kNoPrinter;
    }
    printer->setDocName(QString::fromUtf16(kPrintJobName));
    printer->setFullPage(false);  // (0, 0) is the printable area's top-left corner
    printer->setPrintRange(QPrinter::AllPages);
    std::optional<CPrintJobWatch> watch;
    if (printer->outputFormat() == QPrinter::NativeFormat)
        watch.emplace(printer->printerName(), printer->docName());
    QPainter painter;
    if (!painter.begin(printer.get())) {
        return PrintResult::kFailed;
    }
    picture.Stretch(&painter, PrintPageRect(width, height, printer->width(), printer->height()));
    if (!painter.end())
        return PrintResult::kFailed;
    switch (watch ? watch->Check(reason) : CPrintJobWatch::State::kUnknown) {
        case CPrintJobWatch::State::kRefused:
        case CPrintJobWatch::State::kFailed:
            return PrintResult::kFailed;
        case CPrintJobWatch::State::kWaiting:
            return PrintResult::kWaiting;
        case CPrintJobWatch::State::kUnknown:
        case CPrintJobWatch::State::kAccepted:
            break;
    }
    return PrintResult::kPrinted;
}

QString PrintResultText(PrintResult result, const QString& reason) {
    const auto because = [&reason] {
        return reason.isEmpty() ? QString() : QStringLiteral("：") + reason;
    };
    switch (result) {
        case PrintResult::kPrinted:
            return QStringLiteral("打印完成");
        case PrintResult::kWaiting:
            return QStringLiteral("打印任务正在等待") + because();
        case PrintResult::kNoPicture:
            return QStringLiteral("没有可打印的图片");
        case PrintResult::kNoPrinter:
            return QStringLiteral("未找到打印机");
        case PrintResult::kFailed:
            break;
    }
    return QStringLiteral("打印失败") + because();
}

QString PrintMessageCaption() {
    return QStringLiteral("打印机");
}
