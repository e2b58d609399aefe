#include "sim/SimState.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <system_error>

#include "platform/NewFile.h"
#include "platform/Utf8Path.h"
#include "sim/SimulatedBox.h"

namespace o8r {

namespace {

constexpr std::string_view kTag = "O8RSIM1\n";
constexpr std::size_t kMaxStateBytes = 8u << 20;

std::uint32_t Crc32(std::string_view bytes) {
    static const auto table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    std::uint32_t crc = 0xFFFFFFFFu;
    for (char ch : bytes)
        crc = table[(crc ^ static_cast<std::uint8_t>(ch)) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

void PutU32(std::string& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

template <typename Bytes>
void PutBytes(std::string& out, const Bytes& bytes) {
    for (auto b : bytes)
        out.push_back(static_cast<char>(b));
}

// Reads fields off the front, refusing to run past the end.
class Reader {
  public:
    explicit Reader(std::string_view bytes) : m_bytes(bytes) {}
    bool U32(std::uint32_t& v) {
        if (m_bytes.size() < 4)
            return false;
        v = 0;
        for (int i = 3; i >= 0; --i)
            v = (v << 8) | static_cast<std::uint8_t>(m_bytes[i]);
        m_bytes.remove_prefix(4);
        return true;
    }
    bool Bytes(std::uint8_t* out, std::size_t n) {
        if (m_bytes.size() < n)
            return false;
        for (std::size_t i = 0; i < n; ++i)
            out[i] = static_cast<std::uint8_t>(m_bytes[i]);
        m_bytes.remove_prefix(n);
        return true;
    }
    bool Empty() const { return m_bytes.empty(); }

  private:
    std::string_view m_bytes;
};

}  // namespace

std::string EncodeSimState(const SimTarget& target, const SimStore& store,
                           const SimLoader& loader) {
    std::string out(kTag);
    PutU32(out, static_cast<std::uint32_t>(target.Blocks().size()));
    for (const FlashBlock& block : target.Blocks()) {
        PutU32(out, block.start);
        PutU32(out, block.size);
        const auto& image = target.Image();
        out.append(reinterpret_cast<const char*>(image.data() + block.start), block.size);
    }
    out.push_back(store.filled ? 1 : 0);
    PutBytes(out, store.name);
    PutBytes(out, store.id);
    PutU32(out, static_cast<std::uint32_t>(store.records.size()));
    for (const PageRecord& record : store.records)
        PutBytes(out, record);
    PutBytes(out, loader.Memory());
    PutU32(out, Crc32(out));
    return out;
}

bool DecodeSimState(std::string_view bytes, SimState& state, std::string& error) {
    if (bytes.size() < kTag.size() + 4 || bytes.substr(0, kTag.size()) != kTag) {
        error = "not a simulated box state file";
        return false;
    }
    std::string_view body = bytes.substr(0, bytes.size() - 4);
    Reader crcReader(bytes.substr(bytes.size() - 4));
    std::uint32_t crc = 0;
    crcReader.U32(crc);
    if (Crc32(body) != crc) {
        error = "the simulated box state file is damaged (checksum mismatch)";
        return false;
    }

    const std::string damaged = "the simulated box state file is damaged";
    Reader in(body.substr(kTag.size()));
    std::uint32_t blockCount = 0;
    if (!in.U32(blockCount) || blockCount > 256) {
        error = damaged + " (block list)";
        return false;
    }
    std::vector<FlashBlock> blocks;
    std::vector<std::vector<std::uint8_t>> contents;
    for (std::uint32_t i = 0; i < blockCount; ++i) {
        FlashBlock block;
        if (!in.U32(block.start) || !in.U32(block.size) || block.size > SimTarget::kAddressSpace) {
            error = damaged + " (block list)";
            return false;
        }
        std::vector<std::uint8_t> data(block.size);
        if (!in.Bytes(data.data(), data.size())) {
            error = damaged + " (cut short)";
            return false;
        }
        blocks.push_back(block);
        contents.push_back(std::move(data));
    }
    if (SaneFlashBlocks(blocks) != blocks) {
        error = damaged + " (impossible flash layout)";
        return false;
    }

    SimStore store;
    std::uint8_t filled = 0;
    std::uint32_t recordCount = 0;
    if (!in.Bytes(&filled, 1) || filled > 1 || !in.Bytes(store.name.data(), store.name.size()) ||
        !in.Bytes(store.id.data(), store.id.size()) || !in.U32(recordCount) ||
        recordCount > SimStore::kMaxRecords) {
        error = damaged + " (store)";
        return false;
    }
    store.filled = filled == 1;
    store.records.resize(recordCount);
    for (PageRecord& record : store.records) {
        if (!in.Bytes(record.data(), record.size())) {
            error = damaged + " (cut short)";
            return false;
        }
    }
    SimLoader loader;
    if (!in.Bytes(loader.Memory().data(), loader.Memory().size()) || !in.Empty()) {
        error = damaged + " (loader memory)";
        return false;
    }

    SimTarget target(blocks);
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        for (std::uint32_t k = 0; k < blocks[i].size; ++k) {
            target.Poke(blocks[i].start + k, contents[i][k]);
        }
    }
    state.target = std::move(target);
    state.store = std::move(store);
    state.loader = loader;
    return true;
}

bool ReadFileBytes(const std::string& path, std::size_t maxBytes, std::string& bytes,
                   std::string& error) {
    std::ifstream in(PathFromUtf8(path), std::ios::binary);
    if (!in) {
        error = "cannot open '" + path + "'";
        return false;
    }
    std::string data;
    char buffer[65536];
    while (in) {
        in.read(buffer, sizeof buffer);
        data.append(buffer, static_cast<std::size_t>(in.gcount()));
        if (data.size() > maxBytes) {
            error = "'" + path + "' is too large to be a simulated box state file";
            return false;
        }
    }
    if (in.bad()) {
        error = "cannot read '" + path + "'";
        return false;
    }
    bytes = std::move(data);
    return true;
}

bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string& error) {
    // The state file keeps its permissions and owner, and a link to it stays a link.
    std::string reason;
    if (!ReplaceRegularFile(PathFromUtf8(path), bytes, reason)) {
        error = "cannot write '" + path + "': " + reason;
        return false;
    }
    return true;
}

bool SimulatedBox::LoadState(const std::string& path, std::string& error) {
    std::string bytes;
    if (!ReadFileBytes(path, kMaxStateBytes, bytes, error))
        return false;
    SimState state;
    if (!DecodeSimState(bytes, state, error)) {
        error = "'" + path + "': " + error;
        return false;
    }
    m_target = std::move(state.target);
    m_store = std::move(state.store);
    m_loader.Memory() = state.loader.Memory();
    return true;
}

bool SimulatedBox::SaveState(const std::string& path, std::string& error) const {
    return WriteFileAtomically(path, EncodeSimState(m_target, m_store, m_loader), error);
}

}  // namespace o8r
