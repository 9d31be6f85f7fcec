// Writes the demo working folder (and, with --seeds, the fuzz seed corpora).
#include <cstdio>
#include <exception>
#include <string>

#include "DemoData.h"

int main(int argc, char** argv) {
    if (argc != 2 && !(argc == 3 && std::string(argv[1]) == "--seeds")) {
        std::fprintf(stderr, "usage: krellon-demo FOLDER\n       krellon-demo --seeds FOLDER\n");
        return 2;
    }
    try {
        if (argc == 3) {
            krellon::WriteSeedCorpora(argv[2]);
            return 0;
        }
        for (const std::string& name : krellon::WriteDemoFolder(argv[1])) {
            std::printf("wrote %s\n", name.c_str());
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "krellon-demo: %s\n", e.what());
        return 1;
    }
    return 0;
}
