#pragma once
// Which reader extracts which archive type: one table, one line per reader.
#include "archive/framework/ArcType.h"
#include "archive/readers/UnBase.h"

#include <memory>
#include <string>

namespace mv {

// A new reader for archives of `type`; nullptr when no reader extracts that type.
std::unique_ptr<TUnBase> NewReader(TArcType type);

// Detects the type of `archive` and answers a reader for it with ArchiveFile
// set; nullptr when the type has no reader (`type` then tells what was found).
std::unique_ptr<TUnBase> NewReaderFor(const std::string& archive, TArcType* type = nullptr);

} // namespace mv
