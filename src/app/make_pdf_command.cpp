#include "app/make_pdf_command.h"

#include <unistd.h>

#include <QFileInfo>
#include <atomic>
#include <csignal>

#include "app/start_options.h"
#include "image/pdf_maker.h"
#include "image/pdf_writer.h"
#include "ocr/ocr_pdf_text_reader.h"
#include "ocr/text_recogniser.h"

namespace {

// Set by SIGINT and SIGTERM: the making stops and its temporary file goes, so an interrupted
// run leaves nothing behind.
std::atomic<bool> g_interrupted{false};

extern "C" void OnInterrupt(int) {
    g_interrupted = true;
}

void Say(std::FILE* errors, const QString& line) {
    std::fprintf(errors, "quorvane: %s\n", line.toLocal8Bit().constData());
}

const char* StepText(CPdfMaker::Step step) {
    switch (step) {
        case CPdfMaker::Step::kReading:
            return "reading the picture";
        case CPdfMaker::Step::kRecognising:
            return "recognising the text";
        case CPdfMaker::Step::kAdded:
            return "done";
        case CPdfMaker::Step::kWriting:
            return "writing the file";
    }
    return "";
}

// One line on a terminal, rewritten in place at every step.
CPdfMaker::ProgressHandler TerminalProgress(std::FILE* errors) {
    if (!isatty(fileno(errors)))
        return {};
    return [errors](const CPdfMaker::Progress& p) {
        if (p.step == CPdfMaker::Step::kWriting)
            std::fprintf(errors, "\r\033[Kquorvane: %s", StepText(p.step));
        else
            std::fprintf(errors, "\r\033[Kquorvane: page %d of %d: %s", p.page, p.total,
                         StepText(p.step));
        std::fflush(errors);
    };
}

// Why searchable pages cannot be made here; empty when they can.
QString TextProblem() {
    const CTextRecogniser probe;
    const QStringList missing = probe.MissingLanguages();
    if (missing.isEmpty())
        return {};
    QStringList packages;
    for (const QString& language : missing)
        packages << CTextRecogniser::LanguagePackage(language);
    return QStringLiteral("text recognition needs the language data %1 in %2 (install %3)")
        .arg(missing.join(u", "_qs), probe.DataPath(), packages.join(u' '));
}

int Report(const CPdfMaker::Result& result, const QString& pdf, std::FILE* errors) {
    for (const QString& path : result.unreadablePaths) {
        if (result.tooSmallPaths.contains(path)) {
            Say(errors, QStringLiteral("the picture %1 is narrower than 8 pixels; it is left out")
                            .arg(path));
        } else {
            Say(errors, QFileInfo::exists(path)
                            ? QStringLiteral("cannot read the picture %1; it is left out").arg(path)
                            : QStringLiteral("no such file %1; it is left out").arg(path));
        }
    }
    for (const QString& path : result.damagedPaths) {
        Say(errors,
            QStringLiteral("the picture %1 is damaged (the file ends early); its page holds "
                           "only the part that could be read")
                .arg(path));
    }
    if (result.overLimit > 0) {
        Say(errors,
            QStringLiteral("a PDF holds at most %1 pages; the last %2 pictures are left out")
                .arg(kPdfMaxPages)
                .arg(result.overLimit));
    }
    switch (result.outcome) {
        case CPdfMaker::Outcome::kWritten:
            return result.unreadable + result.overLimit > 0 ? kMakePdfPicturesLeftOut : 0;
        case CPdfMaker::Outcome::kNoPages:
            Say(errors, QStringLiteral("no picture could be read; no PDF written"));
            break;
        case CPdfMaker::Outcome::kCannotCreate:
            Say(errors, QStringLiteral("cannot create %1: %2").arg(pdf, result.error));
            break;
        case CPdfMaker::Outcome::kWriteFailed:
            Say(errors, QStringLiteral("cannot write %1: %2").arg(pdf, result.error));
            break;
        case CPdfMaker::Outcome::kTextFailed:
            Say(errors,
                QStringLiteral("text recognition failed (%1); no PDF written").arg(result.error));
            break;
        case CPdfMaker::Outcome::kCancelled:
            Say(errors, QStringLiteral("interrupted; no PDF written"));
            return kMakePdfInterrupted;
    }
    return kMakePdfNotWritten;
}

}  // namespace

int RunMakePdfCommand(const StartOptions& options, std::FILE* errors) {
    CPdfMaker::Options making;
    if (options.searchable) {
        const QString problem = TextProblem();
        if (!problem.isEmpty()) {
            Say(errors, problem + QStringLiteral("; no PDF written"));
            return kMakePdfNotWritten;
        }
        making.textReaders = COcrPdfTextReader::Readers();
    }
    making.progress = TerminalProgress(errors);
    making.cancel = &g_interrupted;
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
    // The writer's report lines are for debugging the dialog, not for the command line.
    PdfSetMessageStream(nullptr);
    const CPdfMaker::Result result = CPdfMaker::Make(options.files, options.pdfPath, making);
    PdfSetMessageStream(stdout);
    if (making.progress) {
        std::fputs("\r\033[K", errors);
    }
    return Report(result, options.pdfPath, errors);
}
