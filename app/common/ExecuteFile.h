#pragma once
// Starting a program, or opening a file with the user's default application for it.
#include <string>

namespace mv {

// Show commands as callers pass them (the window manager decides how windows appear).
constexpr int swHide = 0, swShowNormal = 1, swShow = 5;

// Starts file (a program, with parameters) or opens it with its default application,
// in folder; returns the shell's code, above 32 on success. Texts are never cut.
int ExecuteFile(const std::string& file, const std::string& parameters, const std::string& folder,
                int showCommand);

} // namespace mv
