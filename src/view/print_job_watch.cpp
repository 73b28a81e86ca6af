#include "view/print_job_watch.h"

#include <cups/cups.h>

#include <QStringList>
#include <algorithm>

namespace {

// The newest job of this user on `queue`, with `title` when that is not null, numbered above
// `after`; 0 when there is none, -1 when the scheduler does not answer. The job's state goes
// to `state`.
int NewestJob(const QByteArray& queue, const QByteArray* title, int after, ipp_jstate_t* state) {
    cups_job_t* jobs = nullptr;
    const int count =
        cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, queue.constData(), 1, CUPS_WHICHJOBS_ALL);
    if (count < 0)
        return -1;
    int newest = 0;
    for (int i = 0; i < count; ++i) {
        const cups_job_t& job = jobs[i];
        if (job.id <= std::max(after, newest))
            continue;
        if (title != nullptr && (job.title == nullptr || *title != job.title))
            continue;
        newest = job.id;
        if (state != nullptr)
            *state = job.state;
    }
    cupsFreeJobs(count, jobs);
    return newest;
}

struct QueueFacts {
    bool accepting = true;
    bool stopped = false;
    QString message;  // what the operator or the driver said
    QStringList reasons;
};

QueueFacts AskQueue(const QByteArray& queue) {
    QueueFacts facts;
    ipp_t* request = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", 0,
                     "/printers/%s", queue.constData());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
    ipp_t* response = cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/");
    if (response == nullptr)
        return facts;
    if (ipp_attribute_t* a =
            ippFindAttribute(response, "printer-is-accepting-jobs", IPP_TAG_BOOLEAN))
        facts.accepting = ippGetBoolean(a, 0) != 0;
    if (ipp_attribute_t* a = ippFindAttribute(response, "printer-state", IPP_TAG_ENUM))
        facts.stopped = ippGetInteger(a, 0) == IPP_PSTATE_STOPPED;
    if (ipp_attribute_t* a = ippFindAttribute(response, "printer-state-message", IPP_TAG_TEXT))
        facts.message = QString::fromUtf8(ippGetString(a, 0, nullptr)).trimmed();
    if (ipp_attribute_t* a = ippFindAttribute(response, "printer-state-reasons", IPP_TAG_KEYWORD)) {
        for (int i = 0; i < ippGetCount(a); ++i) {
            const QString reason = QString::fromUtf8(ippGetString(a, i, nullptr));
            if (reason != QLatin1String("none"))
                facts.reasons << reason;
        }
    }
    ippDelete(response);
    return facts;
}

}  // namespace

CPrintJobWatch::CPrintJobWatch(const QString& queue, const QString& title)
    : queue_(queue), title_(title) {
    before_ = NewestJob(queue_.toUtf8(), nullptr, 0, nullptr);
}

CPrintJobWatch::State CPrintJobWatch::Check(QString* reason) const {
    if (before_ < 0)
        return State::kUnknown;
    const QByteArray title = title_.toUtf8();
    ipp_jstate_t state = IPP_JSTATE_PENDING;
    jobId_ = NewestJob(queue_.toUtf8(), &title, before_, &state);
    if (jobId_ < 0)
        return State::kUnknown;
    const QueueFacts queue = AskQueue(queue_.toUtf8());
    State result = State::kAccepted;
    if (jobId_ == 0) {
        result = State::kRefused;
    } else if (state == IPP_JSTATE_STOPPED || state == IPP_JSTATE_CANCELED ||
               state == IPP_JSTATE_ABORTED) {
        result = State::kFailed;
    } else if (state == IPP_JSTATE_HELD || (state == IPP_JSTATE_PENDING && queue.stopped)) {
        result = State::kWaiting;
    }
    if (reason != nullptr && result != State::kAccepted)
        *reason = !queue.message.isEmpty() ? queue.message
                  : !queue.accepting       ? QStringLiteral("打印机不接受打印任务")
                  : queue.stopped          ? QStringLiteral("打印机已暂停")
                                           : queue.reasons.join(QStringLiteral(", "));
    return result;
}
