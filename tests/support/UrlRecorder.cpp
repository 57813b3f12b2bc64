// Stands in for the browser in test prefixes: appends the address it was
// asked to open to C:\opened-urls.txt, one line per call.

#include <fstream>

int main(int argc, char** argv) {
    std::ofstream log("C:\\opened-urls.txt", std::ios::app | std::ios::binary);
    for (int i = 1; i < argc; ++i) log << argv[i] << '\n';
    log.close();
    return log ? 0 : 1;
}
