#pragma once
// The lines of a list, radio group or similar control.

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace mv {

// The lines of a list, radio group or similar control; changes reach the control.
class TItemList {
public:
    int Count() const { return static_cast<int>(FItems.size()); }
    const std::string& operator[](int index) const { return FItems.at(static_cast<size_t>(index)); }
    const std::string& Strings(int index) const { return (*this)[index]; }
    void SetStrings(int index, const std::string& value);
    int Add(const std::string& value);
    void Insert(int index, const std::string& value);
    void Delete(int index);
    void Clear();
    int IndexOf(const std::string& value) const;
    void Assign(const std::vector<std::string>& values);
    const std::vector<std::string>& Lines() const { return FItems; }
    std::function<void()> OnChange;

private:
    void Changed() {
        if (OnChange) OnChange();
    }
    std::vector<std::string> FItems;
};

} // namespace mv
