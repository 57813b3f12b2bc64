// Stands in for the browser in test prefixes: appends the address it was
// asked to open to C:\opened-urls.txt, one line per call.

#include <cstdio>

int main(int argc, char** argv) {
    std::FILE* log = std::fopen("C:\\opened-urls.txt", "ab");
    if (log == nullptr) return 1;
    for (int i = 1; i < argc; ++i) std::fprintf(log, "%s\n", argv[i]);
    std::fclose(log);
    return 0;
}
