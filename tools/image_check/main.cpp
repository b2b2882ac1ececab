// ostrel-imagecheck: checks that a file is fit to load as our kernel driver.
//   ostrel-imagecheck IMAGE [--imports NAME,NAME,...]
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "pe_image.h"

int main(int argc, char** argv)
{
    if (argc != 2 && !(argc == 4 && std::string(argv[2]) == "--imports")) {
        std::fprintf(stderr, "usage: ostrel-imagecheck IMAGE [--imports NAME,NAME,...]\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "ostrel-imagecheck: cannot read %s\n", argv[1]);
        return 2;
    }
    std::vector<std::uint8_t> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::string> expected;
    if (argc == 4) {
        std::stringstream names(argv[3]);
        for (std::string name; std::getline(names, name, ',');)
            if (!name.empty()) expected.push_back(name);
    }
    try {
        imagecheck::PeImage image = imagecheck::read_pe_image(file);
        std::vector<std::string> problems = imagecheck::check_driver_image(image, argc == 4 ? &expected : nullptr);
        std::printf("%s: machine 0x%X, subsystem %u, entry 0x%X, checksum 0x%08X, %zu imports from %s\n", argv[1],
                    image.machine, image.subsystem, image.entry_point, image.checksum, image.imports.size(),
                    image.import_dlls.empty() ? "nothing" : image.import_dlls[0].c_str());
        for (const std::string& name : image.imports) std::printf("  imports %s\n", name.c_str());
        for (const std::string& p : problems) std::printf("PROBLEM: %s\n", p.c_str());
        return problems.empty() ? 0 : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "ostrel-imagecheck: %s: %s\n", argv[1], e.what());
        return 1;
    }
}
