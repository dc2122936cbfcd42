// The library must never fall back on the C library's wchar_t functions: on
// our targets their unit is 32 bits wide, so one accidental call reads or
// writes twice the memory the caller meant. This reads the dynamic string
// table of the loaded libvos and checks which wide-string names it imports.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <elf.h>
#include <stdio.h>
#include <string.h>

#include <set>
#include <string>
#include <vector>

#include "vos/vos.h"

namespace {

std::vector<char> ReadFile(const char* path) {
    std::vector<char> bytes;
    FILE* f = fopen(path, "rb");
    if (f == nullptr) return bytes;
    char chunk[65536];
    size_t n;
    while ((n = fread(chunk, 1, sizeof(chunk), f)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
    fclose(f);
    return bytes;
}

template <typename Ehdr, typename Shdr>
std::set<std::string> DynamicNames(const std::vector<char>& file) {
    std::set<std::string> names;
    if (file.size() < sizeof(Ehdr)) return names;
    Ehdr eh;
    memcpy(&eh, file.data(), sizeof(eh));
    for (unsigned i = 0; i < eh.e_shnum; ++i) {
        Shdr sh;
        const size_t at = static_cast<size_t>(eh.e_shoff) + i * static_cast<size_t>(eh.e_shentsize);
        if (at + sizeof(sh) > file.size()) break;
        memcpy(&sh, file.data() + at, sizeof(sh));
        if (sh.sh_type != SHT_DYNSYM) continue;
        // The string table of the dynamic symbols is the section it links to.
        Shdr str;
        const size_t strAt = static_cast<size_t>(eh.e_shoff) + sh.sh_link * static_cast<size_t>(eh.e_shentsize);
        if (strAt + sizeof(str) > file.size()) break;
        memcpy(&str, file.data() + strAt, sizeof(str));
        if (str.sh_offset + str.sh_size > file.size()) break;
        const char* p = file.data() + str.sh_offset;
        const char* end = p + str.sh_size;
        while (p < end) {
            const size_t len = strnlen(p, static_cast<size_t>(end - p));
            if (len > 0) names.insert(std::string(p, len));
            p += len + 1;
        }
    }
    return names;
}

std::set<std::string> LibraryDynamicNames() {
    Dl_info info;
    int (*probe)(const unsigned short*) = &wcslen;
    if (dladdr(reinterpret_cast<void*>(probe), &info) == 0 || info.dli_fname == nullptr) return {};
    const std::vector<char> file = ReadFile(info.dli_fname);
    if (file.size() < EI_NIDENT || memcmp(file.data(), ELFMAG, SELFMAG) != 0) return {};
    if (file[EI_CLASS] == ELFCLASS64) return DynamicNames<Elf64_Ehdr, Elf64_Shdr>(file);
    return DynamicNames<Elf32_Ehdr, Elf32_Shdr>(file);
}

}  // namespace

TEST(VStrFuncLink, LibraryImportsNoWideCharFunctionsAndExportsItsOwn) {
    const std::set<std::string> names = LibraryDynamicNames();
    ASSERT_FALSE(names.empty()) << "could not read the library's dynamic symbols";

    const char* const platformNames[] = {"wcslen",  "wcscpy",  "wcscat",   "wcsncpy",   "wcschr",
                                         "wcsrchr", "wcsstr",  "wcspbrk",  "wcscmp",    "wcsncmp",
                                         "iswspace", "vswprintf", "swprintf", "wcstol", "wcscasecmp"};
    for (const char* name : platformNames) EXPECT_EQ(0u, names.count(name)) << "libvos imports " << name;

    // The 16-bit overloads themselves are exported under their C++ names.
    for (const char* name : {"_Z6wcslenPKt", "_Z6wcscpyPtPKt", "_Z6wcsstrPKtS0_", "_Z8_wcsicmpPKtS0_", "_Z9V_stricmpPKcS0_"}) {
        EXPECT_EQ(1u, names.count(name)) << name << " is not exported";
    }
}
