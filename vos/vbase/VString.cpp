// CVString: one counted block per non-empty text, exact-size except after
// an append, which leaves room to spare for the next ones.
//
// Block layout, in memory order: the 32-bit length (CVStringData), the units,
// one zero unit; m_pData points at the first unit. Every replacing operation
// allocates the new block before it frees the old one, so an argument may
// point into the string's own text.
#include "vos/VString.h"

#include <stdarg.h>
#include <string.h>

#include "vos/VCMMap.h"
#include "vos/VMem.h"
#include "vbase/VMemSize.h"

VOS_NAMESPACE_BEGIN

static_assert(sizeof(CVStringData) == sizeof(int32_t), "the length word is 32 bits");
static_assert(VCountedBlockOffset<unsigned short>() == sizeof(CVStringData),
              "the units start right after the length word");

namespace {

// The largest length whose block size, (length + 3) * 2 bytes, still fits in
// a 32-bit size and in an int.
const int kMaxLength = 0x3FFFFFF0;

// The bytes of an exact block for length units: the length word, the units
// and the zero unit.
inline unsigned long BlockBytes(int length) {
    return (static_cast<unsigned long>(length) + 3u) * sizeof(unsigned short);
}

inline bool Contains(const unsigned short* set, unsigned short c) {
    for (; *set != 0; ++set) {
        if (*set == c) return true;
    }
    return false;
}

// The first position at or after start where the count units of sub begin in
// the length units of text, or -1.
int FindUnits(const unsigned short* text, int length, int start, const unsigned short* sub, int count) {
    if (count > length - start) return -1;
    const unsigned short first = sub[0];
    const int last = length - count;
    for (int i = start; i <= last; ++i) {
        if (text[i] != first) continue;
        if (memcmp(text + i + 1, sub + 1, static_cast<size_t>(count - 1) * sizeof(unsigned short)) == 0) return i;
    }
    return -1;
}

// Converts narrow text in the multibyte code page into a string: a zeroed
// temporary of n + 3 units receives at most n units, and the string gets a
// buffer of exactly the units produced.
void NarrowToString(const char* s, CVString& out) {
    out.ReleaseData();
    const size_t bytes = strlen(s);
    if (bytes == 0 || bytes > static_cast<size_t>(kMaxLength)) return;
    const int n = static_cast<int>(bytes);
    const unsigned long tempBytes = (static_cast<unsigned long>(n) + 3u) * sizeof(unsigned short);
    unsigned short* temp = static_cast<unsigned short*>(CVMem::Allocate(tempBytes, VOS_HERE));
    if (temp == nullptr) return;
    memset(temp, 0, tempBytes);
    int produced = CVCMMap::MultiByteToWideChar(0, s, n, temp, n);
    if (produced > n) produced = n;
    if (produced >= 0 && out.AllocateData(produced) != 0) {
        memcpy(out.m_pData, temp, static_cast<size_t>(produced) * sizeof(unsigned short));
    }
    CVMem::Deallocate(temp);
}

}  // namespace

// ---- buffer -----------------------------------------------------------------

int CVString::AllocateData(int length) {
    m_pData = nullptr;
    if (length < 0 || length > kMaxLength) return 0;
    const unsigned long bytes = BlockBytes(length);
    char* block = static_cast<char*>(CVMem::Allocate(bytes, VOS_HERE));
    if (block == nullptr) return 0;
    memset(block, 0, bytes);
    CVStringData* header = ::new (static_cast<void*>(block)) CVStringData;
    header->nDataLength = length;
    m_pData = reinterpret_cast<unsigned short*>(block + sizeof(CVStringData));
    return 1;
}

void CVString::ReleaseData() {
    if (m_pData == nullptr) return;
    CVMem::Deallocate(reinterpret_cast<char*>(m_pData) - sizeof(CVStringData));
    m_pData = nullptr;
}

void CVString::AssignUnits(const unsigned short* s, int count) {
    unsigned short* old = m_pData;
    if (count <= 0 || AllocateData(count) == 0) {
        m_pData = old;
        ReleaseData();
        return;
    }
    memcpy(m_pData, s, static_cast<size_t>(count) * sizeof(unsigned short));
    unsigned short* fresh = m_pData;
    m_pData = old;
    ReleaseData();
    m_pData = fresh;
}

namespace {

// The length of a buffer's text; 0 without a buffer. GetLength is exported
// and so reached through the symbol table even from here: the append paths,
// which run in loops, read the length word directly.
inline int LengthOf(const unsigned short* data) {
    return data == nullptr ? 0 : VCountedBlockCount(const_cast<unsigned short*>(data));
}

// Copies count units between places that do not overlap. Short texts, the
// usual ones appended in a loop, take two fixed-size moves that may overlap
// each other rather than a library call.
inline void CopyUnits(unsigned short* to, const unsigned short* from, int count) {
    const size_t n = static_cast<size_t>(count);
    if (n >= 8 && n <= 16) {
        memcpy(to, from, 16);
        memcpy(to + n - 8, from + n - 8, 16);
    } else if (n >= 4 && n < 8) {
        memcpy(to, from, 8);
        memcpy(to + n - 4, from + n - 4, 8);
    } else if (n < 4) {
        for (size_t i = 0; i < n; ++i) to[i] = from[i];
    } else {
        memcpy(to, from, n * sizeof(unsigned short));
    }
}

// Appends count units of s to the text in data when its block holds them,
// and gives whether it did (nothing is touched otherwise). s may point into
// the text itself: the units land after it and the source is read first.
inline bool AppendInPlace(unsigned short* data, const unsigned short* s, int count) {
    if (data == nullptr) return false;
    int32_t& lengthWord = VCountedBlockCount(data);
    const int length = lengthWord;
    if (count > kMaxLength - length) return false;
    void* block = reinterpret_cast<char*>(data) - sizeof(CVStringData);
    if (VMem_UsableSize(block, BlockBytes(length)) < BlockBytes(length + count)) return false;
    // The source ends at the text's end at the latest, where the copy
    // begins: the two never overlap.
    CopyUnits(data + length, s, count);
    data[length + count] = 0;
    lengthWord = length + count;
    return true;
}

}  // namespace

namespace {

// A block for the text in data (length units, null for none) with room for
// bytes: the old block grown, or a fresh one holding a copy of the text when
// the old one must stay (its text is the source of the append). Null when
// the heap has no such block; the old block is untouched then.
char* GrowBlock(unsigned short* data, int length, bool keepOld, unsigned long bytes) {
    if (data != nullptr && !keepOld) {
        return static_cast<char*>(CVMem::Reallocate(reinterpret_cast<char*>(data) - sizeof(CVStringData), bytes));
    }
    char* block = static_cast<char*>(CVMem::Allocate(bytes, VOS_HERE));
    if (block != nullptr && length > 0) {
        memcpy(block + sizeof(CVStringData), data, static_cast<size_t>(length) * sizeof(unsigned short));
    }
    return block;
}

}  // namespace

void CVString::AppendUnits(const unsigned short* s, int count) {
    // A block grown by an append keeps room to spare, which the heap reports
    // (the length word still holds the length, so nothing else sees it):
    // appending in a loop then reallocates only now and then.
    if (AppendInPlace(m_pData, s, count)) return;
    const int length = LengthOf(m_pData);
    // An append that cannot be made leaves the string as it was.
    if (count > kMaxLength - length) return;
    const int newLength = length + count;
    // Doubling, from a small block at least, up to the largest block a
    // string can have.
    const unsigned long bytes = BlockBytes(newLength);
    const unsigned long most = BlockBytes(kMaxLength);
    const unsigned long kSmallest = 64;
    const unsigned long grow = bytes >= most / 2 ? most : 2 * bytes < kSmallest ? kSmallest : 2 * bytes;
    // Text that lies in the block itself would move with it, so that case
    // takes a fresh block, as does a string without one.
    const bool ownText = m_pData != nullptr && s >= m_pData && s <= m_pData + length;
    char* block = GrowBlock(m_pData, length, ownText, grow);
    // Room to spare is a saving, not a need: past half the largest length
    // it means a block of about 2 GiB, which a 32-bit process cannot have.
    if (block == nullptr && grow > bytes) block = GrowBlock(m_pData, length, ownText, bytes);
    if (block == nullptr) return;
    unsigned short* text = reinterpret_cast<unsigned short*>(block + sizeof(CVStringData));
    // The appended units are copied before the old block (which may hold
    // them) is released.
    memcpy(text + length, s, static_cast<size_t>(count) * sizeof(unsigned short));
    text[newLength] = 0;
    if (m_pData != nullptr && ownText) ReleaseData();
    ::new (static_cast<void*>(block)) CVStringData;
    reinterpret_cast<CVStringData*>(block)->nDataLength = newLength;
    m_pData = text;
}

// ---- construction and assignment ---------------------------------------------

CVString::CVString() : m_pData(nullptr) {}

CVString::CVString(const unsigned short* s) : m_pData(nullptr) {
    if (s != nullptr) AssignUnits(s, wcslen(s));
}

CVString::CVString(const char* s) : m_pData(nullptr) {
    if (s == nullptr || *s == 0) return;
    NarrowToString(s, *this);
}

CVString::CVString(const CVString& other) : m_pData(nullptr) {
    if (other.m_pData == nullptr) return;
    const int length = other.GetLength();
    if (AllocateData(length) == 0) return;
    memcpy(m_pData, other.m_pData, static_cast<size_t>(length) * sizeof(unsigned short));
}

CVString::~CVString() { ReleaseData(); }

CVString& CVString::operator=(const CVString& other) {
    if (this == &other) return *this;
    ReleaseData();
    if (other.m_pData == nullptr) return *this;
    const int length = other.GetLength();
    if (AllocateData(length) == 0) return *this;
    memcpy(m_pData, other.m_pData, static_cast<size_t>(length) * sizeof(unsigned short));
    return *this;
}

CVString& CVString::operator=(const char* s) {
    CVString temp(s);
    return *this = temp;
}

CVString& CVString::operator=(const unsigned short* s) {
    AssignUnits(s, s == nullptr ? 0 : wcslen(s));
    return *this;
}

// ---- access -----------------------------------------------------------------

int CVString::GetLength() const { return m_pData == nullptr ? 0 : VCountedBlockCount(m_pData); }

int CVString::GetCharCount() const { return GetLength(); }

int CVString::IsEmpty() const { return GetLength() == 0 ? 1 : 0; }

void CVString::Empty() { ReleaseData(); }

unsigned short CVString::GetAt(int i) const {
    if (m_pData == nullptr || i < 0 || i >= GetLength()) return 0;
    return m_pData[i];
}

void CVString::SetAt(int i, int ch) {
    if (m_pData == nullptr || i < 0 || i >= GetLength()) return;
    m_pData[i] = static_cast<unsigned short>(ch);
}

unsigned short CVString::operator[](int i) const { return m_pData == nullptr ? 0 : m_pData[i]; }

unsigned short* CVString::GetBuffer(int n) { return m_pData == nullptr ? nullptr : m_pData + n; }

void CVString::ReleaseBuffer() {}

unsigned short* CVString::GetBufferSetLength(int n) {
    if (n < 0) n = 0;
    const int length = GetLength();
    unsigned short* old = m_pData;
    if (AllocateData(n) == 0) {
        m_pData = old;
        ReleaseData();
        return nullptr;
    }
    unsigned short* fresh = m_pData;
    if (old != nullptr) memcpy(fresh, old, static_cast<size_t>(n < length ? n : length) * sizeof(unsigned short));
    m_pData = old;
    ReleaseData();
    m_pData = fresh;
    return m_pData;
}

// ---- comparison -------------------------------------------------------------

namespace {

int CompareTexts(const CVString& self, const unsigned short* s, int (*primitive)(const unsigned short*, const unsigned short*)) {
    const bool otherEmpty = s == nullptr || *s == 0;
    if (self.IsEmpty()) return otherEmpty ? 0 : -1;
    if (otherEmpty) return 1;
    return primitive(self.m_pData, s);
}

int Ordinal(const unsigned short* a, const unsigned short* b) { return wcscmp(a, b); }
int NoCase(const unsigned short* a, const unsigned short* b) { return _wcsicmp(a, b); }

}  // namespace

int CVString::Compare(CVString other) const { return CompareTexts(*this, other.IsEmpty() ? nullptr : other.m_pData, Ordinal); }

int CVString::Compare(const unsigned short* s) const { return CompareTexts(*this, s, Ordinal); }

int CVString::Compare(const char* s) const {
    CVString other(s);
    return CompareTexts(*this, other.IsEmpty() ? nullptr : other.m_pData, Ordinal);
}

int CVString::CompareNoCase(CVString other) const {
    return CompareTexts(*this, other.IsEmpty() ? nullptr : other.m_pData, NoCase);
}

int CVString::CompareNoCase(const unsigned short* s) const { return CompareTexts(*this, s, NoCase); }

int CVString::CompareNoCase(const char* s) const {
    CVString other(s);
    return CompareTexts(*this, other.IsEmpty() ? nullptr : other.m_pData, NoCase);
}

// ---- search -----------------------------------------------------------------

int CVString::Find(int ch, int start) const {
    const int length = GetLength();
    if (start < 0) start = 0;
    if (length == 0 || start >= length) return -1;
    const unsigned short c = static_cast<unsigned short>(ch);
    // The unit at length is the terminator, so a search for 0 ends there.
    for (int i = start; i <= length; ++i) {
        if (m_pData[i] == c) return i;
    }
    return -1;
}

int CVString::Find(const unsigned short* sub, int start) const {
    const int length = GetLength();
    if (start < 0) start = 0;
    if (length == 0 || sub == nullptr || start > length) return -1;
    const int count = wcslen(sub);
    if (count == 0) return start < length ? start : -1;
    return FindUnits(m_pData, length, start, sub, count);
}

int CVString::Find(const char* sub, int start) const {
    CVString text(sub);
    if (text.IsEmpty()) return -1;
    return Find(static_cast<const unsigned short*>(text.m_pData), start);
}

int CVString::ReverseFind(int ch) const {
    const int length = GetLength();
    if (length == 0) return -1;
    const unsigned short c = static_cast<unsigned short>(ch);
    for (int i = length; i >= 0; --i) {
        if (m_pData[i] == c) return i;
    }
    return -1;
}

int CVString::FindOneOf(const unsigned short* set) const {
    const int length = GetLength();
    if (length == 0 || set == nullptr) return -1;
    for (int i = 0; i < length; ++i) {
        if (m_pData[i] != 0 && Contains(set, m_pData[i])) return i;
    }
    return -1;
}

// ---- extraction -------------------------------------------------------------

CVString CVString::Mid(int first) const {
    if (first < 0) first = 0;
    return Mid(first, GetLength() - first);
}

CVString CVString::Mid(int first, int count) const {
    CVString result;
    const int length = GetLength();
    if (first < 0) first = 0;
    if (length == 0 || count <= 0 || first >= length) return result;
    if (count > length - first) count = length - first;
    result.AssignUnits(m_pData + first, count);
    return result;
}

CVString CVString::Left(int n) const { return Mid(0, n); }

CVString CVString::Right(int n) const {
    const int length = GetLength();
    if (length == 0) return CVString();
    if (n < 0) n = 0;
    return n < length ? Mid(length - n, n) : Mid(0, n);
}

// ---- concatenation ----------------------------------------------------------

// The appends run in callers' loops: each starts on a cache line of its
// own, so that where the linker happens to place it does not change how
// fast the loop runs.
#if defined(__GNUC__)
#define VOS_HOT_ALIGN __attribute__((aligned(64)))
#else
#define VOS_HOT_ALIGN
#endif

VOS_HOT_ALIGN CVString& CVString::operator+=(const CVString& s) {
    const int count = LengthOf(s.m_pData);
    if (count == 0) return *this;
    if (LengthOf(m_pData) == 0) return *this = s;
    if (!AppendInPlace(m_pData, s.m_pData, count)) AppendUnits(s.m_pData, count);
    return *this;
}

VOS_HOT_ALIGN CVString& CVString::operator+=(unsigned short ch) {
    if (!AppendInPlace(m_pData, &ch, 1)) AppendUnits(&ch, 1);
    return *this;
}

CVString& CVString::operator+=(const unsigned short* s) {
    if (s == nullptr || *s == 0) return *this;
    if (IsEmpty()) return *this = s;
    AppendUnits(s, wcslen(s));
    return *this;
}

CVString& CVString::operator+=(const char* s) {
    if (s == nullptr || *s == 0) return *this;
    CVString text(s);
    // The conversion could not get memory (text that converts to nothing
    // still gets an empty buffer): the append fails and the text stays.
    if (text.m_pData == nullptr) return *this;
    if (IsEmpty()) return *this = text;
    if (text.IsEmpty()) return *this;
    AppendUnits(text.m_pData, text.GetLength());
    return *this;
}

// A sum is the whole text or nothing: a left operand with text that could
// not be copied leaves no buffer (a narrow text that converts to nothing
// still gets an empty one), and a failed append, which keeps the left
// operand, would pass it off as the whole sum.
static bool LostLeftOperand(bool leftHasText, const CVString& result) {
    return leftHasText && static_cast<const unsigned short*>(result) == nullptr;
}

// Appends right to result; false when the append failed (result is then
// as it was, or without buffer when it was empty).
static bool AppendWhole(CVString& result, const CVString& right) {
    const int want = result.GetLength() + right.GetLength();
    result += right;
    return result.GetLength() == want;
}

static bool AppendWhole(CVString& result, const unsigned short* right) {
    const int want = result.GetLength() + (right != nullptr ? static_cast<int>(wcslen(right)) : 0);
    result += right;
    return result.GetLength() == want;
}

static bool AppendWhole(CVString& result, const char* right) {
    if (right == nullptr || *right == 0) return true;
    const CVString text(right);
    if (static_cast<const unsigned short*>(text) == nullptr) return false;
    return AppendWhole(result, text);
}

template <typename T>
static CVString SumOf(bool leftHasText, CVString& result, const T& right) {
    if (LostLeftOperand(leftHasText, result)) return result;
    if (!AppendWhole(result, right)) result.Empty();
    return result;
}

CVString operator+(const CVString& a, const CVString& b) {
    CVString result(a);
    return SumOf(a.m_pData != nullptr, result, b);
}

CVString operator+(const CVString& a, const char* b) {
    CVString result(a);
    return SumOf(a.m_pData != nullptr, result, b);
}

CVString operator+(const CVString& a, const unsigned short* b) {
    CVString result(a);
    return SumOf(a.m_pData != nullptr, result, b);
}

CVString operator+(const char* a, const CVString& b) {
    CVString result(a);
    return SumOf(a != nullptr && *a != 0, result, b);
}

CVString operator+(const unsigned short* a, const CVString& b) {
    CVString result(a);
    return SumOf(a != nullptr && *a != 0, result, b);
}

// ---- case, order and trimming -------------------------------------------------

void CVString::MakeUpper() {
    if (!IsEmpty()) _wcsupr(m_pData);
}

void CVString::MakeLower() {
    if (!IsEmpty()) _wcslwr(m_pData);
}

void CVString::MakeReverse() {
    if (!IsEmpty()) _wcsrev(m_pData);
}

void CVString::TrimLeft() { TrimLeft(static_cast<unsigned char>(' ')); }

void CVString::TrimRight() { TrimRight(static_cast<unsigned char>(' ')); }

void CVString::TrimLeft(unsigned char c) {
    TrimLeftWhere([](unsigned short unit, const void* arg) { return unit == *static_cast<const unsigned char*>(arg); }, &c);
}

void CVString::TrimRight(unsigned char c) {
    TrimRightWhere([](unsigned short unit, const void* arg) { return unit == *static_cast<const unsigned char*>(arg); }, &c);
}

void CVString::TrimLeft(const unsigned short* set) {
    if (set == nullptr || *set == 0) return;
    TrimLeftWhere([](unsigned short unit, const void* arg) { return Contains(static_cast<const unsigned short*>(arg), unit); }, set);
}

void CVString::TrimRight(const unsigned short* set) {
    if (set == nullptr || *set == 0) return;
    TrimRightWhere([](unsigned short unit, const void* arg) { return Contains(static_cast<const unsigned short*>(arg), unit); }, set);
}

void CVString::TrimLeftWhere(bool (*trimmed)(unsigned short, const void*), const void* arg) {
    const int length = GetLength();
    int first = 0;
    while (first < length && trimmed(m_pData[first], arg)) ++first;
    if (first == 0) return;
    AssignUnits(m_pData + first, length - first);
}

void CVString::TrimRightWhere(bool (*trimmed)(unsigned short, const void*), const void* arg) {
    const int length = GetLength();
    int end = length;
    while (end > 0 && trimmed(m_pData[end - 1], arg)) --end;
    if (end == length) return;
    AssignUnits(m_pData, end);
}

// ---- editing ----------------------------------------------------------------

int CVString::Replace(unsigned short from, unsigned short to) {
    const int length = GetLength();
    if (length == 0 || from == to) return 0;
    int count = 0;
    for (int i = 0; i < length; ++i) {
        if (m_pData[i] == from) {
            m_pData[i] = to;
            ++count;
        }
    }
    return count;
}

int CVString::Replace(const unsigned short* from, const unsigned short* to) {
    if (from == nullptr || to == nullptr || IsEmpty()) return 0;
    const int fromLength = wcslen(from);
    if (fromLength == 0) return 0;
    const int toLength = wcslen(to);
    // Embedded zero units are not supported: the text ends at the first one.
    const int length = wcslen(m_pData);

    // The first occurrences are remembered so that the copy pass need not
    // search for them again; later ones are searched twice.
    const int kRemembered = 256;
    int positions[kRemembered];
    int count = 0;
    for (int i = FindUnits(m_pData, length, 0, from, fromLength); i >= 0;
         i = FindUnits(m_pData, length, i + fromLength, from, fromLength)) {
        if (count < kRemembered) positions[count] = i;
        ++count;
    }
    if (count == 0) return 0;

    const int64_t newLength = static_cast<int64_t>(length) + static_cast<int64_t>(count) * (toLength - fromLength);
    if (newLength > kMaxLength) return 0;
    if (newLength == 0) {
        ReleaseData();
        return count;
    }
    unsigned short* old = m_pData;
    if (AllocateData(static_cast<int>(newLength)) == 0) {
        m_pData = old;
        return 0;
    }
    unsigned short* out = m_pData;
    int done = 0;
    for (int k = 0, i = positions[0]; i >= 0; ++k) {
        memcpy(out, old + done, static_cast<size_t>(i - done) * sizeof(unsigned short));
        out += i - done;
        memcpy(out, to, static_cast<size_t>(toLength) * sizeof(unsigned short));
        out += toLength;
        done = i + fromLength;
        i = k + 1 < kRemembered ? (k + 1 < count ? positions[k + 1] : -1) : FindUnits(old, length, done, from, fromLength);
    }
    memcpy(out, old + done, static_cast<size_t>(length - done) * sizeof(unsigned short));
    unsigned short* fresh = m_pData;
    m_pData = old;
    ReleaseData();
    m_pData = fresh;
    return count;
}

int CVString::Delete(int index, int count) {
    const int length = GetLength();
    if (length == 0) return 0;
    if (count <= 0 || index >= length) return length;
    if (index < 0) index = 0;
    if (count > length - index) count = length - index;
    const int newLength = length - count;
    if (newLength == 0) {
        ReleaseData();
        return 0;
    }
    unsigned short* old = m_pData;
    if (AllocateData(newLength) == 0) {
        m_pData = old;
        return -1;
    }
    unsigned short* fresh = m_pData;
    memcpy(fresh, old, static_cast<size_t>(index) * sizeof(unsigned short));
    memcpy(fresh + index, old + index + count, static_cast<size_t>(newLength - index) * sizeof(unsigned short));
    m_pData = old;
    ReleaseData();
    m_pData = fresh;
    return newLength;
}

int CVString::Insert(int index, unsigned short ch) {
    const unsigned short text[2] = {ch, 0};
    if (IsEmpty()) {
        // A zero unit cannot be told from the terminator in the text form.
        AssignUnits(text, 1);
        return m_pData == nullptr ? -1 : 0;
    }
    return InsertUnits(index, text, 1);
}

int CVString::Insert(int index, const unsigned short* s) {
    if (s == nullptr) return -1;
    if (IsEmpty()) {
        *this = s;
        return 0;
    }
    return InsertUnits(index, s, wcslen(s));
}

int CVString::InsertUnits(int index, const unsigned short* s, int count) {
    const int length = GetLength();
    if (count <= 0 || count > kMaxLength - length) return -1;
    if (index < 0) index = 0;
    if (index > length) index = length;
    unsigned short* old = m_pData;
    if (AllocateData(length + count) == 0) {
        m_pData = old;
        return -1;
    }
    unsigned short* fresh = m_pData;
    memcpy(fresh, old, static_cast<size_t>(index) * sizeof(unsigned short));
    memcpy(fresh + index, s, static_cast<size_t>(count) * sizeof(unsigned short));
    memcpy(fresh + index + count, old + index, static_cast<size_t>(length - index) * sizeof(unsigned short));
    m_pData = old;
    ReleaseData();
    m_pData = fresh;
    return length + count + 1;
}

// ---- formatting -------------------------------------------------------------

void CVString::Format(const unsigned short* format, ...) {
    if (format == nullptr) {
        ReleaseData();
        return;
    }
    // vswprintf's contract: 512 units of room, the result cut at 511.
    unsigned short* buffer = static_cast<unsigned short*>(CVMem::Allocate(512 * sizeof(unsigned short), VOS_HERE));
    if (buffer == nullptr) {
        ReleaseData();
        return;
    }
    memset(buffer, 0, 512 * sizeof(unsigned short));
    va_list args;
    va_start(args, format);
    const int count = vswprintf(buffer, format, args);
    va_end(args);
    AssignUnits(buffer, count);
    CVMem::Deallocate(buffer);
}

VOS_NAMESPACE_END
