// Copies of the lesson's own program among a version's files.  A version
// that runs such a copy passes every case without doing the work, however
// it starts it: under another name, from a script, or with bytes added.
#pragma once

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

// The first file among `files` (each as the user named it, and where its
// copy lies) that is a copy of `program`: its bytes begin with the
// program's, or it is an ELF file whose code is the program's (a copy
// stripped, or with its data changed).  Nothing when there is none.
std::filesystem::path copyOfProgram(
    const std::vector<std::pair<std::filesystem::path, std::filesystem::path>>& files,
    const std::filesystem::path& program);
