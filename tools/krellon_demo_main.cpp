// Writes the demo working folder (and, with --seeds, the fuzz seed corpora).
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "DemoData.h"

namespace {

constexpr const char* kUsage =
    "usage: krellon-demo FOLDER\n"
    "       krellon-demo --seeds FOLDER\n"
    "Writes the demo working folder (board sets and image files) into FOLDER, or with --seeds\n"
    "the fuzz seed corpora.\n";

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    if (arguments.size() == 1 && (arguments[0] == "-h" || arguments[0] == "--help")) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    const bool seeds = !arguments.empty() && arguments[0] == "--seeds";
    if (seeds) {
        arguments.erase(arguments.begin());
    }
    // Anything else that starts with "-" is an option it does not know, never a folder to
    // write into ("./-x" names such a folder).
    for (const std::string& argument : arguments) {
        if (argument.starts_with("-")) {
            std::fprintf(stderr, "krellon-demo: unknown option %s\n%s", argument.c_str(), kUsage);
            return 2;
        }
    }
    if (arguments.size() != 1) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    try {
        if (seeds) {
            krellon::WriteSeedCorpora(arguments[0]);
            return 0;
        }
        for (const std::string& name : krellon::WriteDemoFolder(arguments[0])) {
            std::printf("wrote %s\n", name.c_str());
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "krellon-demo: %s\n", e.what());
        return 1;
    }
    return 0;
}
