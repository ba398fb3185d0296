#pragma once
// A list of fixed-size records owned by the list (the readers keep one record of
// 28 bytes per found member).
#include <cstddef>
#include <cstdint>
#include <vector>

namespace mv {

class TArcFileList {
public:
    static constexpr size_t kRecordSize = 28;

    // Makes the list ready: record size 28, no records.
    void Init();
    // Copies one record (RecordSize() bytes from Record) to the end of the list.
    void Add(const void* Record);
    // Frees all records; the count becomes 0.
    void Clear();
    // Clears and releases the list.
    void Done();

    size_t Count() const { return FRecordSize ? FData.size() / FRecordSize : 0; }
    size_t RecordSize() const { return FRecordSize; }
    // The record at Index (0-based), or nullptr outside the list.
    const uint8_t* Items(size_t Index) const;
    uint8_t* Items(size_t Index);

private:
    std::vector<uint8_t> FData;
    size_t FRecordSize = 0;
};

} // namespace mv
