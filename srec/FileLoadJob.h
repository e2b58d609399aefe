#pragma once

// The "File loading" dialog (template 168) without widgets: run once from the
// dialog's 100 ms timer 115, it loads g_filePath into the memory image and the
// page records under the current memory map.

#include <string>

#include "app/Prompts.h"

namespace o8r {

class FileLoadView {
  public:
    virtual ~FileLoadView() = default;
    virtual void SetText(const std::string& text) = 0;  // text 1055
    virtual void SetProgress(int percent) = 0;          // bar 1053
};

class FileLoadJob {
  public:
    explicit FileLoadJob(Prompts& prompts) : m_prompts(prompts) {}

    // LoadSRecordFile: messages are owned by the loading dialog. True = IDOK.
    bool Run(FileLoadView& view);

  private:
    Prompts& m_prompts;
};

}  // namespace o8r
