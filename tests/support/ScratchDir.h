#pragma once

#include <filesystem>
#include <string>

namespace o8r::test {

// A fresh directory under the system's temporary directory, removed with
// everything in it when the object goes.
class ScratchDir {
  public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& Path() const { return m_path; }
    std::string File(const std::string& name) const { return (m_path / name).string(); }
    // Writes `contents` byte for byte and returns the file's path.
    std::string Write(const std::string& name, const std::string& contents) const;

  private:
    std::filesystem::path m_path;
};

// The whole file, byte for byte; empty when it cannot be read.
std::string ReadWholeFile(const std::string& path);

}  // namespace o8r::test
