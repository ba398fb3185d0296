#pragma once
// The wizard's folder placeholders ("<Destino>", "<Temp>", ...) turned into the
// self-extractor's % codes, and a file name's extension replaced.
#include <string>

namespace mv {

// The text with every placeholder (letter case ignored) replaced by its code;
// the translated placeholders are taken in all three languages.
std::string PlaceholdersToSfxCodes(const std::string& text);

// The name with the extension of its file-name part (from its last ".")
// removed and NewExt appended; an empty NewExt only strips. A name without an
// extension gets NewExt appended.
std::string ReplaceExt(const std::string& name, const std::string& newExt);

} // namespace mv
