#pragma once
// Starting a program, or opening a file with the user's default application for it.
#include <string>
#include <vector>

namespace mv {

// Show commands as callers pass them (the window manager decides how windows appear).
constexpr int swHide = 0, swShowNormal = 1, swShow = 5;

// Starts file (a program, with parameters) or opens it with its default application,
// in folder; returns the shell's code, above 32 on success. Texts are never cut.
int ExecuteFile(const std::string& file, const std::string& parameters, const std::string& folder,
                int showCommand);

// Opens a document with the default application for its type (asType: the default
// application of that type instead), never running the file itself: a program or a
// script has no association (31). Codes as ExecuteFile.
int OpenDocument(const std::string& path, const std::string& asType = {});

// Starts program with arguments, each handed over whole (no shell, no splitting);
// a bare name is looked up on PATH. Codes as ExecuteFile (2 when it is not found).
int StartProgram(const std::string& program, const std::vector<std::string>& arguments,
                 const std::string& folder = {});

} // namespace mv
