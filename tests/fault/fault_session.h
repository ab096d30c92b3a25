// The fixture of the fault matrix: a viewer session that also knows what the
// process held before the case began, to tell that a fault leaked nothing.
#pragma once

#include <string>
#include <vector>

#include "fault/resource_counts.h"
#include "support/session.h"

namespace nubix::fault {

class FaultSession : public test::ViewerSession {
protected:
    void SetUp() override;

    // Result copies all handled, host buffers as before, `views` views of the
    // rendezvous over those the process had before, and `windows` notification
    // windows on this thread (1 while the session is open).
    void ExpectNothingLeft(std::size_t views, std::size_t windows);

    // Asks for a record file (or a picture, on channel 0) with `tag`; returns what
    // the operation returned.
    int Request(bool picture, int tag);

    // The op-log texts with the rendezvous report written as "<report>".
    static std::vector<std::string> OpLogShape();

    ResourceCounts baseline{};
};

}  // namespace nubix::fault
