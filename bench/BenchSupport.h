#pragma once

// What the timed benches share: image files to program, the load that keeps
// both cores busy, and the counters script/bench turns into its table.

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace o8r::bench {

// 10 bits a byte on the wire: start bit, 8 data bits, stop bit.
constexpr double ByteSeconds(double baud) {
    return 10.0 / baud;
}

// An image of 32-byte S2 records filling `pages` pages from `start`, in a
// temporary file named `name`; its path.
inline std::string WriteImageFile(const std::string& name, std::uint32_t start,
                                  std::uint32_t pages) {
    const auto path = std::filesystem::temp_directory_path() / name;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << "S00600005A4F4B05\r\n";
    char text[16];
    for (std::uint32_t address = start; address < start + pages * 256; address += 32) {
        unsigned sum = 32 + 4 + (address >> 16 & 0xFF) + (address >> 8 & 0xFF) + (address & 0xFF);
        std::snprintf(text, sizeof text, "S224%06X", static_cast<unsigned>(address));
        out << text;
        for (std::uint32_t i = 0; i < 32; ++i) {
            const auto byte = static_cast<std::uint8_t>((address + i) * 7 + (address >> 8));
            sum += byte;
            std::snprintf(text, sizeof text, "%02X", byte);
            out << text;
        }
        std::snprintf(text, sizeof text, "%02X\r\n", 0xFF - (sum & 0xFF));
        out << text;
    }
    out << "S804000000FB\r\n";
    return path.string();
}

// Two threads spinning for as long as the object lives: both cores of the
// machine busy with other work while a measurement runs.
class BusyCores {
  public:
    explicit BusyCores(bool on, unsigned threads = 2) {
        if (!on)
            return;
        for (unsigned i = 0; i < threads; ++i) {
            m_threads.emplace_back([this] {
                std::uint64_t spins = 0;
                while (!m_stop.load(std::memory_order_relaxed))
                    benchmark::DoNotOptimize(++spins);
            });
        }
    }
    ~BusyCores() {
        m_stop.store(true);
        for (std::thread& thread : m_threads)
            thread.join();
    }
    BusyCores(const BusyCores&) = delete;
    BusyCores& operator=(const BusyCores&) = delete;

  private:
    std::atomic<bool> m_stop{false};
    std::vector<std::thread> m_threads;
};

// The counters of one table row: the mean measured time, its limit, and
// their ratio (`busy` 1 when both cores were kept busy).
inline void ReportAgainstLimit(benchmark::State& state, double meanSeconds, double limitSeconds,
                               bool busy) {
    state.counters["measured_s"] = meanSeconds;
    state.counters["limit_s"] = limitSeconds;
    state.counters["ratio"] = meanSeconds / limitSeconds;
    state.counters["busy"] = busy ? 1 : 0;
}

}  // namespace o8r::bench
