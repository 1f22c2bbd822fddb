#include "platform/cups/CupsPrintJobs.h"

#include <cups/cups.h>
#include <memory>

namespace zendrel {

namespace {

struct IppFree {
    void operator()(ipp_t* ipp) const { ippDelete(ipp); }
};
using Ipp = std::unique_ptr<ipp_t, IppFree>;

std::string lastError() {
    const char* text = cupsLastErrorString();
    return text && *text ? text : ippErrorString(cupsLastError());
}

// A printer's name without the instance ("office/duplex"): the service knows the printer only.
std::string queueOf(const std::string& printer) {
    return printer.substr(0, printer.find('/'));
}

std::string text(ipp_t* response, const char* name) {
    ipp_attribute_t* attribute = ippFindAttribute(response, name, IPP_TAG_ZERO);
    const char* value = attribute ? ippGetString(attribute, 0, nullptr) : nullptr;
    return value ? value : std::string();
}

PrintJobs::State stateOf(int ippState) {
    switch (ippState) {
    case IPP_JSTATE_PENDING:
        return PrintJobs::State::Pending;
    case IPP_JSTATE_HELD:
        return PrintJobs::State::Held;
    case IPP_JSTATE_PROCESSING:
        return PrintJobs::State::Processing;
    case IPP_JSTATE_STOPPED:
        return PrintJobs::State::Stopped;
    case IPP_JSTATE_CANCELED:
        return PrintJobs::State::Cancelled;
    case IPP_JSTATE_ABORTED:
        return PrintJobs::State::Aborted;
    case IPP_JSTATE_COMPLETED:
        return PrintJobs::State::Completed;
    default:
        return PrintJobs::State::Unknown;
    }
}

// A request answered with its attributes, or nothing with the reason in `error`.
Ipp ask(ipp_t* request, std::string& error) {
    Ipp response(cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/"));
    if (!response || cupsLastError() > IPP_STATUS_OK_CONFLICTING) {
        error = lastError();
        return {};
    }
    return response;
}

} // namespace

PrintJobs::Submitted CupsPrintJobs::submit(const std::string& printer, const std::string& file,
                                           const std::string& title, const Options& options) {
    cups_option_t* list = nullptr;
    int count = 0;
    for (const auto& [name, value] : options) {
        count = cupsAddOption(name.c_str(), value.c_str(), count, &list);
    }
    const int job =
        cupsPrintFile2(CUPS_HTTP_DEFAULT, queueOf(printer).c_str(), file.c_str(), title.c_str(), count, list);
    cupsFreeOptions(count, list);
    if (job <= 0) {
        return {0, lastError()};
    }
    return {job, {}};
}

PrintJobs::Status CupsPrintJobs::status(const std::string& printer, int job) {
    Status status;
    ipp_t* request = ippNewRequest(IPP_OP_GET_JOB_ATTRIBUTES);
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof(uri), "ipp", nullptr, "localhost", 0, "/jobs/%d", job);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "job-uri", nullptr, uri);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
    static const char* const jobAttributes[] = {"job-state", "job-state-message", "job-printer-uri"};
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                  sizeof(jobAttributes) / sizeof(*jobAttributes), nullptr, jobAttributes);
    const Ipp jobResponse = ask(request, status.error);
    if (!jobResponse) {
        return status;
    }
    ipp_attribute_t* state = ippFindAttribute(jobResponse.get(), "job-state", IPP_TAG_ENUM);
    status.state = state ? stateOf(ippGetInteger(state, 0)) : State::Unknown;
    const std::string jobMessage = text(jobResponse.get(), "job-state-message");

    // What the printer said last is the reason a backend gives for failing ("ERROR: ..."); the job's own
    // message is the service's summary.
    std::string printerUri = text(jobResponse.get(), "job-printer-uri");
    if (printerUri.empty()) {
        char assembled[HTTP_MAX_URI];
        httpAssembleURIf(HTTP_URI_CODING_ALL, assembled, sizeof(assembled), "ipp", nullptr, "localhost", 0,
                         "/printers/%s", queueOf(printer).c_str());
        printerUri = assembled;
    }
    request = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, printerUri.c_str());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
    static const char* const printerAttributes[] = {"printer-state", "printer-state-message"};
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                  sizeof(printerAttributes) / sizeof(*printerAttributes), nullptr, printerAttributes);
    std::string printerError;
    if (const Ipp printerResponse = ask(request, printerError)) {
        ipp_attribute_t* printerState = ippFindAttribute(printerResponse.get(), "printer-state", IPP_TAG_ENUM);
        status.printerStopped = printerState && ippGetInteger(printerState, 0) == IPP_PSTATE_STOPPED;
        status.reason = text(printerResponse.get(), "printer-state-message");
    }
    if (status.reason.empty()) {
        status.reason = jobMessage;
    }
    return status;
}

bool CupsPrintJobs::cancel(const std::string& printer, int job, std::string* error) {
    if (cupsCancelJob2(CUPS_HTTP_DEFAULT, queueOf(printer).c_str(), job, 0) > IPP_STATUS_OK_CONFLICTING) {
        if (error) {
            *error = lastError();
        }
        return false;
    }
    return true;
}

} // namespace zendrel
