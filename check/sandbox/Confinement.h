// Keeping a checked version from the machine it runs on: what it starts
// ends with its run, it is capped in processes and memory, and, where
// bubblewrap can make namespaces, it has no network and sees no files but
// the system's programs and libraries and its own.
#pragma once

#include <string>

#include "sandbox/Process.h"

// The caps a version runs under unless options set others.
constexpr unsigned DEFAULT_PROCESSES = 64;
// A 16th of the machine's memory, and at least 1024 MiB: Java takes a 64th
// as it starts.
unsigned long long defaultMemoryMiB();

class Confinement {
public:
    // Finds out once whether bubblewrap works here; without it a version is
    // only capped, and runs in a scratch folder made for it.
    explicit Confinement(Caps caps);
    ~Confinement();
    Confinement(const Confinement&) = delete;
    Confinement& operator=(const Confinement&) = delete;

    // Whether versions are kept from the network and from other files.
    bool isFull() const { return !bwrap.empty(); }
    // Why they are not, in a few words ("" when they are).
    const std::string& shortfall() const { return whyNot; }

    // The launch, run confined: inside bubblewrap, or at least capped, in
    // the scratch folder's environment.
    Launch confined(Launch launch) const;

private:
    std::vector<std::string> sandbox(const std::vector<std::string>& command) const;

    Caps caps;
    std::string bwrap;    // the bubblewrap program, when it works here
    std::string whyNot;   // why it does not
    std::string scratch;  // without bubblewrap: home and /tmp of the version
    std::string folder;   // the folder the version runs in
};
