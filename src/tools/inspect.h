#pragma once

#include <iosfwd>
#include <string>
#include <vector>

// tcrate-inspect: the command-line companion. args excludes the program
// name. Exit status 0 on success, 1 when a file failed, 2 for bad arguments.
int RunInspect(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

int InspectRead(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int InspectDb(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int InspectScan(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int InspectPlay(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int InspectTag(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
