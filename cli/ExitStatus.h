#pragma once

// Exit statuses of o8rprog, for scripts and production lines.

#include <stdexcept>

namespace o8r::cli {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;   // any failure or refusal
constexpr int kExitUsage = 2;     // a bad command line
constexpr int kExitNotBlank = 3;  // blank-check found data in the range

// A bad argument noticed after parsing (an unknown part, a block name the part
// does not have, a --box choice that cannot be made): reported, then exit 2.
class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// A failure whose message has been shown already: exit 1 and nothing more.
class ShownFailure : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

}  // namespace o8r::cli
