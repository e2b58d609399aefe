#pragma once

// Where each kind of file dialog starts: the folder of the last file of its
// kind, with that file's name filled in for the images of Program and Load.
// Kept for the run here, and across runs in the platform's settings (on Linux
// ~/.config/o8r-programmer/o8r-programmer.conf, on Windows the registry under
// HKEY_CURRENT_USER\Software\o8r-programmer\o8r-programmer), group "LastFiles",
// one full path per kind: "image", "firmware", "readData".

#include <QString>
#include <map>
#include <memory>

#include "core/operations/Prompts.h"

#include <QSettings>

namespace o8r {

class QtFileMemory {
  public:
    // Without `settings`, the user's settings of this program.
    explicit QtFileMemory(std::unique_ptr<QSettings> settings = nullptr);
    ~QtFileMemory();
    QtFileMemory(const QtFileMemory&) = delete;
    QtFileMemory& operator=(const QtFileMemory&) = delete;

    // The folder (or the file, for images) a dialog of this kind starts at;
    // empty when none was chosen yet or its folder has gone.
    QString StartPath(FileKind kind) const;
    void Remember(FileKind kind, const QString& path);

  private:
    std::unique_ptr<QSettings> m_settings;
    std::map<FileKind, QString> m_lastPaths;  // this run's
};

}  // namespace o8r
