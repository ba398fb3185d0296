#pragma once
// The writers by archive type name ("zip", "jar", ...): the one place that
// knows every writer, so that drivers and tools need not. Each writer adds its
// line to the table in WriterFactory.cpp.
#include "archive/writers/CompBase.h"

#include <memory>
#include <string>
#include <vector>

namespace mv {

// A new writer for the type name (case-insensitive), or nullptr when unknown.
std::unique_ptr<TCompBase> MakeWriter(const std::string& typeName);
// The type names MakeWriter knows, in table order.
std::vector<std::string> WriterTypeNames();

} // namespace mv
