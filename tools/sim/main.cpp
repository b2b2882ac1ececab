// ostrel-sim: the driver on the bench.
//   ostrel-sim                               the built-in 64 MiB disk at ID 0
//   ostrel-sim --image FILE [--read-only] [--write]
//   ostrel-sim --scenario FILE.json [--trace]
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>

#include "demo.h"
#include "scenario.h"

namespace {

constexpr const char* kUsage =
    "usage: ostrel-sim [--image FILE [--read-only] [--write]]\n"
    "       ostrel-sim --scenario FILE.json [--trace]\n";

int usage(const char* why)
{
    std::fprintf(stderr, "ostrel-sim: %s (see --help)\n", why);
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    sim::DemoOptions demo;
    std::string scenario;
    bool trace = false;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&](const char* name) -> const char* {
            if (i + 1 >= argc) return nullptr;
            (void)name;
            return argv[++i];
        };
        if (a == "--image") {
            const char* v = value("--image");
            if (!v) return usage("--image needs a file name");
            demo.image = v;
        } else if (a == "--scenario") {
            const char* v = value("--scenario");
            if (!v) return usage("--scenario needs a file name");
            scenario = v;
        } else if (a == "--read-only") {
            demo.read_only = true;
        } else if (a == "--write") {
            demo.write = true;
        } else if (a == "--trace") {
            trace = true;
        } else if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else {
            return usage(("unknown argument " + a).c_str());
        }
    }
    if (!scenario.empty()) {
        if (!demo.image.empty() || demo.read_only || demo.write) return usage("--scenario takes its disks from the file");
        return sim::run_scenario(scenario, trace);
    }
    if ((demo.read_only || demo.write) && demo.image.empty()) return usage("--read-only and --write go with --image");
    try {
        return sim::run_demo(demo);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "ostrel-sim: %s\n", e.what());
        return 2;
    }
}
