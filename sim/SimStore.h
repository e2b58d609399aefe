#pragma once

// The box's own store: the image that Load put there, its 16-byte name field
// and the ID code sent with it.

#include <array>
#include <cstdint>
#include <vector>

#include "core/protocol/BoxProtocol.h"

namespace o8r {

struct SimStore {
    static constexpr std::size_t kMaxRecords = 4096;  // the whole 1 MB address space

    // Only a transfer whose every record arrived intact fills the store; a
    // broken or cancelled one leaves it empty, so '?' never names a half image.
    bool filled = false;
    std::array<std::uint8_t, 16> name{};
    std::array<std::uint8_t, 7> id{};
    std::vector<PageRecord> records;

    friend bool operator==(const SimStore&, const SimStore&) = default;
};

}  // namespace o8r
