#pragma once
// The handler's class key in the per-user registry store: written by the
// library's registration entry point and read back to find the main program,
// which lies beside the registered library.
#include <string>

namespace mv::shellext {

// "\CLSID\{...}" and its server subkey, under the classes root.
std::string ClassKeyPath();
std::string ServerKeyPath();

// The registered library path (trimmed); "" when the key or its value is missing.
// Never raises.
std::string ReadServerPath();

// The main program: the folder of the registered library + "morvelan", or
// "morvelan" alone when nothing is registered.
std::string MainProgramPath();

// Writes the class key: its default value "Morvelan Context Menu" and the
// server subkey holding the library path. False when the store cannot be written.
bool WriteClassKey(const std::string& libraryPath);
// Removes the class key with its subkeys. False when the store cannot be written.
bool DeleteClassKey();

} // namespace mv::shellext
