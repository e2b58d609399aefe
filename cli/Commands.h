#pragma once

// One function per command of o8rprog; each returns the exit status.

#include "cli/Options.h"

namespace o8r::cli {

int RunMcus(const GlobalOptions& global);
int RunImage(const GlobalOptions& global, const ImageOptions& options);
int RunDetect(const GlobalOptions& global, const DetectOptions& options);
struct GangTally;
// `tally`, when given, gets how the boxes ended.
int RunGang(const GlobalOptions& global, const GangOptions& options, GangTally* tally = nullptr);
int RunJobCheck(const GlobalOptions& global, const JobOptions& options);
int RunJobRun(const GlobalOptions& global, const JobOptions& options);
int RunJobNew(const GlobalOptions& global, const JobOptions& options);
int RunProgram(const GlobalOptions& global, const ProgramOptions& options);
int RunErase(const GlobalOptions& global, const EraseOptions& options);
int RunBlankCheck(const GlobalOptions& global, const RangeOptions& options);
int RunRead(const GlobalOptions& global, const RangeOptions& options);
int RunLoad(const GlobalOptions& global, const FileOptions& options);
int RunQuery(const GlobalOptions& global);
int RunUpdate(const GlobalOptions& global, const FileOptions& options);
int RunDoctor(const GlobalOptions& global);

}  // namespace o8r::cli
