// Uses the installed library the way an application does: one include, one
// conversion through the built-in code-page tables, and the version check a
// program makes against the shared object it actually loaded.
#include <stdio.h>
#include <string.h>

#include "vos/vos.h"

using namespace _palex_zu;

int main() {
    if (strcmp(V_GetVersion(), VOS_VERSION_STRING) != 0 || V_GetVersionNumber() != VOS_VERSION_NUMBER) {
        fprintf(stderr, "consumer: headers say %s, library says %s\n", VOS_VERSION_STRING, V_GetVersion());
        return 1;
    }
    if (CVCMMap::GlobalInit() != 1) {
        fprintf(stderr, "consumer: code-page tables did not load\n");
        return 1;
    }
    // "中文" in GBK; its UTF-16 units and UTF-8 bytes are fixed by the code pages.
    const char gbk[] = "\xD6\xD0\xCE\xC4";
    const unsigned short units[] = {0x4E2D, 0x6587};
    const char utf8[] = "\xE4\xB8\xAD\xE6\x96\x87";

    unsigned short wide[8] = {0};
    const int n = CVCMMap::MultiByteToWideChar(0, gbk, 4, wide, 8);
    char narrow[16] = {0};
    const int bytes = CVCMMap::WideCharToMultiByte(65001, wide, n, narrow, sizeof narrow, nullptr, nullptr);
    CVString text(gbk);
    CVCMMap::GlobalUnInit();

    int failures = 0;
    if (n != 2 || memcmp(wide, units, sizeof units) != 0) {
        fprintf(stderr, "consumer: GBK to UTF-16 gave %d units %04X %04X\n", n, wide[0], wide[1]);
        ++failures;
    }
    // The UTF-8 count includes room for the caller's terminator.
    if (bytes != 7 || memcmp(narrow, utf8, 6) != 0) {
        fprintf(stderr, "consumer: UTF-16 to UTF-8 gave %d bytes\n", bytes);
        ++failures;
    }
    if (text.GetLength() != 2 || text.GetAt(0) != units[0] || text.GetAt(1) != units[1]) {
        fprintf(stderr, "consumer: CVString from GBK has %d units\n", text.GetLength());
        ++failures;
    }
    if (failures != 0) return 1;
    printf("vos %s: GBK D6D0CEC4 -> UTF-16 %04X %04X -> UTF-8 %d bytes\n", V_GetVersion(), wide[0], wide[1],
           bytes - 1);
    return 0;
}
