// Fuzz target: the survey's configuration file (TOML). See site_config_harness.h for
// the promises it checks; a broken promise aborts.
#include "fuzz/site_config_harness.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (!zentra::fuzz::RunSiteConfig(data, size)) {
        std::fputs("zentra fuzz: the configuration reader broke a promise\n", stderr);
        std::abort();
    }
    return 0;
}
