#pragma once
// What the reading commands (extract, test) share: their options and a reader
// for the archive from the reader table, with events that print errors.
#include "archive/readers/ReaderFactory.h"

#include <memory>
#include <string>
#include <vector>

namespace mvarc {

struct ReaderOptions {
    bool hasPassword = false;
    std::string password;
    std::vector<std::string> specs; // empty: every member
};

// Takes "-p PASSWORD" out of args; the other arguments go to rest in order.
bool ParseReaderArgs(const std::vector<std::string>& args, ReaderOptions& options,
                     std::vector<std::string>& rest);

// The reader for `archive`, or nullptr (with a message) when no reader takes its
// type. OnError prints "error N: text" and counts into `errors`; the password
// given is offered once when a member asks for one.
std::unique_ptr<mv::TUnBase> SetUpReader(const std::string& archive, const ReaderOptions& options,
                                         int& errors);

} // namespace mvarc
