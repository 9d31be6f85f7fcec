// Writes the demo working folder (and, with --seeds, the fuzz seed corpora).
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "DemoData.h"
#include "storage/PathBytes.h"
#include "storage/System.h"

namespace {

constexpr const char* kUsage =
    "usage: krellon-demo FOLDER\n"
    "       krellon-demo --seeds FOLDER\n"
    "Writes the demo working folder (board sets and image files) into FOLDER, or with --seeds\n"
    "the fuzz seed corpora.\n";

}  // namespace

int main(int argc, char** argv) {
    krellon::sys::useBinaryStandardStreams();
    // Folder names as the system gives them: bytes on POSIX, UTF-16 made UTF-8 on Windows.
    std::vector<std::string> arguments;
    for (const auto& argument : krellon::sys::programArguments(argc, argv)) {
        arguments.push_back(krellon::PathBytes(argument));
    }
    arguments.erase(arguments.begin());
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
            krellon::WriteSeedCorpora(krellon::PathOfBytes(arguments[0]));
            return 0;
        }
        for (const std::string& name :
             krellon::WriteDemoFolder(krellon::PathOfBytes(arguments[0]))) {
            std::printf("wrote %s\n", name.c_str());
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "krellon-demo: %s\n", e.what());
        return 1;
    }
    return 0;
}
