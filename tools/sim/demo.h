// The main job: load the driver on the bench, find the adapter, scan the bus
// and exercise every disk found, printing what happened.
#pragma once

#include <string>

namespace sim {

struct DemoOptions {
    std::string image;      // a disk image file for the disk at ID 0; empty: a 64 MiB disk in memory
    bool read_only = false;  // the image is write-protected
    bool write = false;      // the demo may write to the image (restoring what it overwrote)
};

// Returns the process exit status.
int run_demo(const DemoOptions& options);

}  // namespace sim
