#pragma once

#include <string>

namespace quorvane {

// Where the notices go. The mail sender is the one in the program; tests may put a recorder.
class MailOutbox {
public:
    virtual ~MailOutbox() = default;
    // One notice to the configured address; `attachment` may be empty. True when accepted.
    virtual bool SendMail(const std::string& body, bool reportProgress, const std::string& attachment) = 0;
};

} // namespace quorvane
