#pragma once

#include <string>

// Where Tunecrate's files live. Every path ends with "/".

// The folder of the running executable.
std::string ProgramFolder();

// The folder the program writes its files into ("tune.crate", "box.ini",
// "picture/", ...): the program folder when it is writable (a build folder, a
// portable copy), else $XDG_DATA_HOME/tunecrate/ (~/.local/share/tunecrate/),
// which is created when missing.
std::string DataFolder();

// The folder of the read-only resources ("Skins/", "help/", "tcrate.jpg"):
// beside the executable when they are there (a build folder, a portable
// copy), else the installed data folder ("../share/tunecrate/" from it).
std::string ResourceFolder();

// Appends "/" unless the path already ends with one.
std::string WithTrailingSlash(std::string path);

// Creates a folder and its missing parents; true when it exists afterwards.
bool MakeFolders(const std::string& path);

// The text after the last "/".
std::string FileNamePart(const std::string& path);

// The extension from the last "." after the last "/", dot included, spelled
// as in the path; empty when there is none.
std::string FileExtension(const std::string& path);
