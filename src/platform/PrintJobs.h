#pragma once

#include <string>
#include <utility>
#include <vector>

namespace zendrel {

// Jobs on the system's print service: a file handed to one of its printers, then followed until it ends. A
// paint device's job is handed over and forgotten, so a printer that fails half-way would look like one that
// printed; a job followed to its end is not.
class PrintJobs {
public:
    enum class State { Pending, Held, Processing, Stopped, Cancelled, Aborted, Completed, Unknown };

    // Name and value, as the service's options take them ("copies", "media", "landscape", ...).
    using Options = std::vector<std::pair<std::string, std::string>>;

    struct Submitted {
        int job = 0;       // 0: not accepted
        std::string error; // the service's reason when not
    };
    struct Status {
        State state = State::Unknown;
        // The job's printer has stopped (a failure the service keeps the job for until someone resumes it).
        bool printerStopped = false;
        // The service's own words: what the printer said last, or the job's message.
        std::string reason;
        // Set when the status could not be read; the other fields then mean nothing.
        std::string error;
    };

    virtual ~PrintJobs() = default;
    virtual Submitted submit(const std::string& printer, const std::string& file, const std::string& title,
                             const Options& options) = 0;
    virtual Status status(const std::string& printer, int job) = 0;
    // False, with the service's reason, when it refused.
    virtual bool cancel(const std::string& printer, int job, std::string* error) = 0;
};

} // namespace zendrel
