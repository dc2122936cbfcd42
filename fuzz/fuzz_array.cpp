// Drives CVArray with a byte-coded sequence of operations and checks every
// step against std::vector and a model of the growth rule.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "vos/vos.h"

using namespace _palex_zu;

namespace {

struct Input {
    const uint8_t* p;
    size_t n;
    bool Empty() const { return n == 0; }
    uint8_t Byte() {
        if (n == 0) return 0;
        --n;
        return *p++;
    }
    int Small(int limit) { return static_cast<int>((Byte() | (Byte() << 8)) % limit); }
};

void Check(bool ok) {
    if (!ok) abort();
}

// The capacity the array must have after growing from (size, capacity) to
// newSize with the given step.
int32_t GrownCapacity(int32_t size, int32_t capacity, int32_t step, int32_t newSize) {
    if (capacity == 0) return newSize;
    if (newSize <= capacity) return capacity;
    if (step == 0) {
        step = size / 8;
        if (step < 4) step = 4;
        if (step > 1024) step = 1024;
    }
    const int32_t grown = capacity + step;
    return grown < newSize ? newSize : grown;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input in{data, size};
    CVArray<int, int> ints;
    CVArray<CVString, CVString&> strings;
    std::vector<int> ref;
    std::vector<std::string> refText;  // empty: the slot holds an empty string
    while (!in.Empty()) {
        const uint8_t op = in.Byte() % 4;
        const int32_t size0 = ints.m_nSize;
        const int32_t cap0 = ints.m_nCapacity;
        int32_t expectedCapacity = cap0;
        switch (op) {
            case 0: {
                const int v = in.Small(100000);
                Check(ints.Add(v) == static_cast<int>(ref.size()));
                CVString s(std::to_string(v).c_str());
                strings.Add(s);
                ref.push_back(v);
                refText.push_back(std::to_string(v));
                expectedCapacity = GrownCapacity(size0, cap0, ints.m_nGrowStep, size0 + 1);
                break;
            }
            case 1: {
                const int index = in.Small(3000);
                const int v = in.Small(100000);
                ints.SetAtGrow(index, v);
                CVString s(std::to_string(v).c_str());
                strings.SetAtGrow(index, s);
                if (index >= static_cast<int>(ref.size())) {
                    expectedCapacity = GrownCapacity(size0, cap0, ints.m_nGrowStep, index + 1);
                    ref.resize(static_cast<size_t>(index) + 1, 0);
                    refText.resize(static_cast<size_t>(index) + 1);
                }
                ref[static_cast<size_t>(index)] = v;
                refText[static_cast<size_t>(index)] = std::to_string(v);
                break;
            }
            case 2: {
                if (ref.empty()) break;
                const int index = in.Small(static_cast<int>(ref.size()));
                const int count = in.Small(static_cast<int>(ref.size()) - index + 1);
                ints.RemoveAt(index, count);
                strings.RemoveAt(index, count);
                ref.erase(ref.begin() + index, ref.begin() + index + count);
                refText.erase(refText.begin() + index, refText.begin() + index + count);
                break;
            }
            case 3: {
                const int newSize = in.Small(3000);
                const int step = static_cast<int>(in.Byte() % 20) - 1;  // -1 keeps the step
                const int32_t stepUsed = step == -1 ? ints.m_nGrowStep : step;
                ints.SetSize(newSize, step);
                strings.SetSize(newSize, step);
                expectedCapacity = newSize == 0 ? 0 : GrownCapacity(size0, cap0, stepUsed, newSize);
                // Slots dropped and grown again come back zero / empty.
                ref.resize(static_cast<size_t>(newSize), 0);
                refText.resize(static_cast<size_t>(newSize));
                break;
            }
            default:
                break;
        }
        Check(ints.GetSize() == static_cast<int>(ref.size()));
        Check(strings.GetSize() == static_cast<int>(ref.size()));
        Check(ints.m_nCapacity == expectedCapacity);
        Check((ints.GetData() == nullptr) == (ints.m_nCapacity == 0));
        for (size_t i = 0; i < ref.size(); ++i) {
            Check(ints[static_cast<int>(i)] == ref[i]);
            const CVString& s = strings[static_cast<int>(i)];
            if (refText[i].empty()) {
                Check(s.IsEmpty() != 0);
            } else {
                Check(s.Compare(refText[i].c_str()) == 0);
            }
        }
    }
    return 0;
}
