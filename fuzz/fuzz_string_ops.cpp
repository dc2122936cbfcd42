// Drives CVString through fuzzed sequences of edits and searches beside a
// std::u16string model of the same behaviour; every result and every
// intermediate text must agree, and every buffer must stay terminated.
//
// Input: a stream of operations, each an opcode byte followed by the bytes it
// needs. Units come from a small alphabet (so that searches hit) or raw, but
// are never zero: the zero-terminated forms cannot carry a zero unit.
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "vos/vos.h"

using _palex_zu::CVString;
using Model = std::u16string;

namespace {

class Input {
public:
    Input(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    bool Empty() const { return m_pos >= m_size; }
    uint8_t Byte() { return m_pos < m_size ? m_data[m_pos++] : 0; }
    int SmallInt() { return static_cast<int8_t>(Byte()); }  // -128..127
    char16_t Unit() {
        static const char16_t kAlphabet[] = {u'a', u'b', u'a', u' ', u'x', 0x4E00, u'b', u' '};
        const uint8_t b = Byte();
        if (b < 0xF0) return kAlphabet[b % 8];
        const char16_t raw = static_cast<char16_t>(Byte() | (Byte() << 8));
        return raw == 0 ? u'z' : raw;
    }
    Model Text() {
        const int length = Byte() % 8;
        Model s;
        for (int i = 0; i < length; ++i) s.push_back(Unit());
        return s;
    }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
};

void Fail(const char* what, int op) {
    fprintf(stderr, "fuzz_string_ops: %s (operation %d)\n", what, op);
    abort();
}

const unsigned short* Units(const Model& s) { return reinterpret_cast<const unsigned short*>(s.c_str()); }

Model Of(const CVString& s) {
    if (s.GetLength() == 0) return Model();
    return Model(reinterpret_cast<const char16_t*>(static_cast<const unsigned short*>(s)), static_cast<size_t>(s.GetLength()));
}

void Check(const CVString& s, const Model& m, int op) {
    const int length = s.GetLength();
    if (length != static_cast<int>(m.size())) Fail("length differs", op);
    const unsigned short* p = s;
    if (p == nullptr) {
        if (length != 0) Fail("no buffer but a length", op);
        return;
    }
    if (p[length] != 0) Fail("buffer not terminated", op);
    if (Of(s) != m) Fail("text differs", op);
}

// The model of each operation, written from the documented behaviour.
int FindUnit(const Model& m, char16_t c, int start) {
    const int length = static_cast<int>(m.size());
    if (start < 0) start = 0;
    if (length == 0 || start >= length) return -1;
    const size_t at = m.find(c, static_cast<size_t>(start));
    return at == Model::npos ? -1 : static_cast<int>(at);
}

int FindText(const Model& m, const Model& sub, int start) {
    const int length = static_cast<int>(m.size());
    if (start < 0) start = 0;
    if (length == 0 || start > length) return -1;
    if (sub.empty()) return start < length ? start : -1;
    const size_t at = m.find(sub, static_cast<size_t>(start));
    return at == Model::npos ? -1 : static_cast<int>(at);
}

int ReplaceText(Model& m, const Model& from, const Model& to) {
    if (m.empty() || from.empty()) return 0;
    Model out;
    int count = 0;
    size_t done = 0;
    for (size_t at = m.find(from); at != Model::npos; at = m.find(from, done)) {
        out.append(m, done, at - done);
        out += to;
        done = at + from.size();
        ++count;
    }
    out.append(m, done, Model::npos);
    m = out;
    return count;
}

int DeleteRange(Model& m, int index, int count) {
    const int length = static_cast<int>(m.size());
    if (length == 0) return 0;
    if (count <= 0 || index >= length) return length;
    if (index < 0) index = 0;
    if (count > length - index) count = length - index;
    m.erase(static_cast<size_t>(index), static_cast<size_t>(count));
    return static_cast<int>(m.size());
}

int InsertText(Model& m, int index, const Model& s) {
    if (m.empty()) {
        m = s;
        return 0;
    }
    if (s.empty()) return -1;
    const int length = static_cast<int>(m.size());
    if (index < 0) index = 0;
    if (index > length) index = length;
    m.insert(static_cast<size_t>(index), s);
    return static_cast<int>(m.size()) + 1;
}

Model MidOf(const Model& m, int first, int count) {
    const int length = static_cast<int>(m.size());
    if (first < 0) first = 0;
    if (length == 0 || count <= 0 || first >= length) return Model();
    if (count > length - first) count = length - first;
    return m.substr(static_cast<size_t>(first), static_cast<size_t>(count));
}

bool InSet(const Model& set, char16_t c) { return set.find(c) != Model::npos; }

}  // namespace

// The code-page tables stay loaded for the whole run, as they are between
// the library's start-up and shut-down.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    _palex_zu::CVCMMap::GlobalInit();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input in(data, size);
    CVString s;
    Model m;
    for (int op = 0; !in.Empty() && op < 64; ++op) {
        switch (in.Byte() % 16) {
            case 0: {  // assign
                m = in.Text();
                s = Units(m);
                break;
            }
            case 1: {  // append text
                const Model t = in.Text();
                s += Units(t);
                m += t;
                break;
            }
            case 2: {  // append a unit
                const char16_t c = in.Unit();
                s += static_cast<unsigned short>(c);
                m += c;
                break;
            }
            case 3: {  // find a unit
                const char16_t c = in.Unit();
                const int start = in.SmallInt() / 16;
                if (s.Find(c, start) != FindUnit(m, c, start)) Fail("Find(ch) differs", op);
                break;
            }
            case 4: {  // find a text
                const Model sub = in.Text();
                const int start = in.SmallInt() / 16;
                if (s.Find(Units(sub), start) != FindText(m, sub, start)) Fail("Find(sub) differs", op);
                break;
            }
            case 5: {  // replace texts
                const Model from = in.Text();
                const Model to = in.Text();
                if (s.Replace(Units(from), Units(to)) != ReplaceText(m, from, to)) Fail("Replace(text) differs", op);
                break;
            }
            case 6: {  // replace units
                const char16_t from = in.Unit();
                const char16_t to = in.Unit();
                int count = 0;
                if (!m.empty() && from != to) {
                    for (char16_t& c : m) {
                        if (c == from) {
                            c = to;
                            ++count;
                        }
                    }
                }
                if (s.Replace(static_cast<unsigned short>(from), static_cast<unsigned short>(to)) != count) {
                    Fail("Replace(unit) differs", op);
                }
                break;
            }
            case 7: {  // insert a text
                const int index = in.SmallInt() / 8;
                const Model t = in.Text();
                if (s.Insert(index, Units(t)) != InsertText(m, index, t)) Fail("Insert(text) differs", op);
                break;
            }
            case 8: {  // insert a unit
                const int index = in.SmallInt() / 8;
                const char16_t c = in.Unit();
                const int got = s.Insert(index, static_cast<unsigned short>(c));
                if (got != InsertText(m, index, Model(1, c))) Fail("Insert(unit) differs", op);
                break;
            }
            case 9: {  // delete
                const int index = in.SmallInt() / 8;
                const int count = in.SmallInt() / 8;
                if (s.Delete(index, count) != DeleteRange(m, index, count)) Fail("Delete differs", op);
                break;
            }
            case 10: {  // trim spaces
                const bool left = in.Byte() & 1;
                if (left) {
                    s.TrimLeft();
                    m.erase(0, m.find_first_not_of(u' ') == Model::npos ? m.size() : m.find_first_not_of(u' '));
                } else {
                    s.TrimRight();
                    const size_t keep = m.find_last_not_of(u' ');
                    m.erase(keep == Model::npos ? 0 : keep + 1);
                }
                break;
            }
            case 11: {  // trim an 8-bit unit
                const uint8_t b = in.Byte();
                const unsigned char c = b < 0x80 ? static_cast<unsigned char>("ab x"[b % 4]) : b;
                const bool left = b & 1;
                if (left) {
                    s.TrimLeft(c);
                    size_t first = 0;
                    while (first < m.size() && m[first] == c) ++first;
                    m.erase(0, first);
                } else {
                    s.TrimRight(c);
                    size_t end = m.size();
                    while (end > 0 && m[end - 1] == c) --end;
                    m.erase(end);
                }
                break;
            }
            case 12: {  // trim a set
                const Model set = in.Text();
                const bool left = in.Byte() & 1;
                if (left) {
                    s.TrimLeft(Units(set));
                    size_t first = 0;
                    while (!set.empty() && first < m.size() && InSet(set, m[first])) ++first;
                    m.erase(0, first);
                } else {
                    s.TrimRight(Units(set));
                    size_t end = m.size();
                    while (!set.empty() && end > 0 && InSet(set, m[end - 1])) --end;
                    m.erase(end);
                }
                break;
            }
            case 13: {  // extraction
                const int first = in.SmallInt() / 8;
                const int count = in.SmallInt() / 8;
                if (Of(s.Mid(first, count)) != MidOf(m, first, count)) Fail("Mid differs", op);
                if (Of(s.Left(count)) != MidOf(m, 0, count)) Fail("Left differs", op);
                const int length = static_cast<int>(m.size());
                const int n = count < 0 ? 0 : count;
                const Model right = m.empty() ? Model() : (n < length ? MidOf(m, length - n, n) : MidOf(m, 0, n));
                if (Of(s.Right(count)) != right) Fail("Right differs", op);
                break;
            }
            case 14: {  // reverse search and set search
                const char16_t c = in.Unit();
                const size_t at = m.rfind(c);
                const int expected = m.empty() ? -1 : (at == Model::npos ? -1 : static_cast<int>(at));
                if (s.ReverseFind(c) != expected) Fail("ReverseFind differs", op);
                const Model set = in.Text();
                const size_t one = m.find_first_of(set);
                const int expectedOne = m.empty() || one == Model::npos ? -1 : static_cast<int>(one);
                if (s.FindOneOf(Units(set)) != expectedOne) Fail("FindOneOf differs", op);
                break;
            }
            default: {  // copy and compare
                const CVString copy(s);
                Check(copy, m, op);
                const int cmp = s.Compare(copy);
                if (cmp != 0) Fail("a copy compares unequal", op);
                break;
            }
        }
        Check(s, m, op);
    }
    return 0;
}
