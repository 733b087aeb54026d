// The command's subcommands and its exit codes.
#pragma once

namespace cli {

constexpr int kExitOk = 0;
constexpr int kExitSomeFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitVolume = 3;
constexpr int kExitCancelled = 130;

int RunInfo(int argc, char** argv);
int RunScan(int argc, char** argv);
int RunRecover(int argc, char** argv);
int RunPartitions(int argc, char** argv);
int RunVolumes(int argc, char** argv);

}  // namespace cli
