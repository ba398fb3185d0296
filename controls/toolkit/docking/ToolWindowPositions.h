#pragma once
// Where every tool window of a form is, kept in an ini file with one section per
// window (named after it): its dock, row and position or its floating place, its
// visibility, the dock it returns to, and each kind's extras. Loading places all the
// windows first and arranges each dock once at the end.
#include "controls/toolkit/docking/ToolDock.h"

#include <functional>
#include <string>

namespace mv {

// Integer and text access to the store (section, key, default or value).
struct TPositionAccessors {
    std::function<int(const std::string& section, const std::string& key, int defaultValue)> ReadInt;
    std::function<std::string(const std::string& section, const std::string& key, const std::string& defaultValue)>
        ReadString;
    std::function<void(const std::string& section, const std::string& key, int value)> WriteInt;
    std::function<void(const std::string& section, const std::string& key, const std::string& value)> WriteString;
};

void LoadToolWindowPositionsWith(TForm& form, const TPositionAccessors& store);
void SaveToolWindowPositionsWith(TForm& form, const TPositionAccessors& store);
void LoadToolWindowPositions(TForm& form, const std::string& iniFileName);
void SaveToolWindowPositions(TForm& form, const std::string& iniFileName);

} // namespace mv
