// The channel between the checker and the supervisor that starts a
// version's runs inside its sandbox: a pair of sequenced-packet sockets, so
// that every message arrives whole or not at all, with descriptors passed
// alongside.  A message is a list of fields, each a name and a value, of
// bounded size.  Whatever comes from the other end is read as untrusted:
// the supervisor shares a sandbox with the version.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "sandbox/Process.h"

struct Message {
    std::string kind;  // "run", "stop", "started", "cannot-start", "may-wait", "ended"...
    std::vector<std::pair<std::string, std::string>> fields;

    void add(const std::string& name, const std::string& value) {
        fields.emplace_back(name, value);
    }
    // The first value of the field, or `otherwise`.
    std::string get(const std::string& name, const std::string& otherwise = "") const;
    std::vector<std::string> all(const std::string& name) const;
    long long number(const std::string& name, long long otherwise = 0) const;
};

// The most a message may hold, fields and names together.
constexpr std::size_t MESSAGE_LIMIT = 60 * 1024;
// The most descriptors a message may carry.
constexpr std::size_t DESCRIPTORS_LIMIT = 4;

// Both ends of a new channel, closed on exec.
std::pair<Fd, Fd> makeChannel();

// Sends the message, with the descriptors; false when the other end is gone.
bool send(int channel, const Message& message, const std::vector<int>& descriptors = {});

// Receives the next message and the descriptors that came with it; false
// when the other end is gone or what came is not a message.  Blocks unless
// the channel is non-blocking (then false also when nothing is there: see
// `wouldBlock`).
bool receive(int channel, Message& message, std::vector<Fd>& descriptors,
             bool* wouldBlock = nullptr);
