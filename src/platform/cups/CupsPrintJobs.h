#pragma once

#include "platform/PrintJobs.h"

namespace zendrel {

// Print jobs on CUPS, the print service of Linux desktops, through libcups: the server is the one libcups
// chooses (CUPS_SERVER, the user's client.conf, or the local one).
class CupsPrintJobs final : public PrintJobs {
public:
    Submitted submit(const std::string& printer, const std::string& file, const std::string& title,
                     const Options& options) override;
    Status status(const std::string& printer, int job) override;
    bool cancel(const std::string& printer, int job, std::string* error) override;
};

} // namespace zendrel
