#pragma once
// CTextRecognitionJob: one text recognition at a time, on a thread of its own, so that the
// windows keep painting while the engine reads. Start it, and Finished arrives on the thread
// that owns the job (the user-interface thread) once the engine is done or was cancelled. While
// a run is under way, Start refuses another.
//
// Destroying the job cancels a run. The engine sees the cancel between its steps, but loading
// the languages and laying out the page cannot be interrupted: a run that has not ended after
// kEndWaitMs is left to end on its own (it holds what it uses), so that closing the window never
// waits for the engine. RunsLeft counts such runs; the program ends without them.

#include <QObject>
#include <atomic>
#include <memory>
#include <thread>

#include "image/dib_image.h"
#include "ocr/ocr_result.h"

class CTextRecogniser;

class CTextRecognitionJob : public QObject {
    Q_OBJECT

public:
    static constexpr int kEndWaitMs = 300;

    explicit CTextRecognitionJob(std::shared_ptr<CTextRecogniser> recogniser,
                                 QObject* parent = nullptr);
    ~CTextRecognitionJob() override;

    // Reads `picture` (only `region` of it when that is not empty). False, starting nothing,
    // while a run is under way.
    bool Start(CDibImage picture, const QvRect& region = QvRect());
    // Asks the engine to stop; Finished follows with OcrStatus::kCancelled.
    void Cancel();
    // True from Start until Finished has been delivered.
    bool IsRunning() const { return running_; }
    // Percent done, 0 ... 100.
    int Progress() const;

    // Runs left behind by destroyed jobs that have not ended yet.
    static int RunsLeft();

signals:
    void Finished(const OcrOutcome& outcome);

private:
    struct Run;

    void Deliver(const OcrOutcome& outcome);

    std::shared_ptr<CTextRecogniser> recogniser_;
    std::shared_ptr<Run> run_;
    std::thread thread_;
    bool running_ = false;
};
