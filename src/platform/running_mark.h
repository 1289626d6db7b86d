#pragma once

#include <memory>

namespace qb {

// Lets other programs see that this one is running, for as long as the object lives; each program's main
// holds one from its first line to its end. On Windows it is a named mutex (the build names it) that the
// installer and the uninstaller look for before they touch a file: a running program holds its .exe and
// DLLs open, and replacing some of them but not others would leave a mixed installation. Elsewhere the
// programs are never installed over while they run, and the object holds nothing.
class RunningMark {
public:
    // Never fails the program: a mark that cannot be made only leaves the installer unable to see it.
    RunningMark();
    ~RunningMark();
    RunningMark(const RunningMark&) = delete;
    RunningMark& operator=(const RunningMark&) = delete;

private:
    struct Mark; // what the system keeps, defined by the backend
    std::unique_ptr<Mark> mark_;
};

} // namespace qb
