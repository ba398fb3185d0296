#pragma once
// A small encoder of ZOO's LZW method for tests: a clear code first, codes of
// 9 to 13 bits least significant bit first, a clear when the table is full,
// and the end code.
#include <cstdint>
#include <map>
#include <vector>

namespace zootest {

inline std::vector<uint8_t> LzdEncode(const std::vector<uint8_t>& d) {
    std::vector<uint8_t> out;
    uint64_t acc = 0;
    int count = 0;
    std::map<std::pair<int, int>, int> table;
    int next = 258;
    // The decoder adds each entry one code later, so its width follows next - 1.
    auto width = [&] {
        int bits = 9;
        while (bits < 13 && next - 1 >= (1 << bits)) ++bits;
        return bits;
    };
    auto emit = [&](int code, int bits) {
        acc |= static_cast<uint64_t>(code) << count;
        count += bits;
        while (count >= 8) {
            out.push_back(static_cast<uint8_t>(acc));
            acc >>= 8;
            count -= 8;
        }
    };
    emit(256, 9);
    if (!d.empty()) {
        int w = d[0];
        bool fresh = true; // the first code after a clear adds nothing
        for (size_t i = 1; i < d.size(); ++i) {
            auto it = table.find({w, d[i]});
            if (it != table.end()) {
                w = it->second;
                continue;
            }
            emit(w, fresh ? 9 : width());
            fresh = false;
            table[{w, d[i]}] = next++;
            if (next == 8192) {
                emit(256, width());
                table.clear();
                next = 258;
                fresh = true;
            }
            w = d[i];
        }
        emit(w, fresh ? 9 : width());
        if (!fresh) ++next; // the decoder adds an entry for the last code too
    }
    emit(257, width());
    if (count) out.push_back(static_cast<uint8_t>(acc));
    return out;
}

} // namespace zootest
