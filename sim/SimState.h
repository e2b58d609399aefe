#pragma once

// The lasting state of a simulated box (the target's flash, the box's store
// and the loader's memory) as bytes and as a file, so that separate runs of
// a program see one box.
//
// Layout, little endian: the 8-byte tag "O8RSIM1\n"; the block count (u32);
// per block its start and size (u32 each) and its bytes; the store's filled
// flag (u8), name (16), ID code (7), record count (u32) and records (260
// each); the loader's 8 KB; a CRC-32 of everything before it.

#include <string>
#include <string_view>

#include "sim/SimLoader.h"
#include "sim/SimStore.h"
#include "sim/SimTarget.h"

namespace o8r {

struct SimState {
    SimTarget target{{}};
    SimStore store;
    SimLoader loader;
};

std::string EncodeSimState(const SimTarget& target, const SimStore& store, const SimLoader& loader);
// False with an error text for anything but an intact state of this format.
bool DecodeSimState(std::string_view bytes, SimState& state, std::string& error);

// Reads a whole file of at most `maxBytes`.
bool ReadFileBytes(const std::string& path, std::size_t maxBytes, std::string& bytes,
                   std::string& error);
// Writes a temporary file beside `path` and renames it over `path`, so the
// file is either the old one or the new one, never half written.
bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string& error);

}  // namespace o8r
