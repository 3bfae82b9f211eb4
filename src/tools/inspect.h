#pragma once

#include <iosfwd>
#include <string>
#include <vector>

// The program beside tcrate-inspect that carries out "play".
inline constexpr const char* kInspectPlayProgram = "tcrate-inspect-play";

// tcrate-inspect: the command-line companion. args excludes the program
// name. Exit status 0 on success, 1 when a file failed, 2 for bad arguments.
// "play" replaces the running process with kInspectPlayProgram found beside
// it; it returns only when that program cannot be run.
int RunInspect(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

int InspectRead(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int InspectDb(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int InspectScan(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
// In tcrate_inspect_play, with the playback libraries: kInspectPlayProgram runs it.
int InspectPlay(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int InspectTag(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
