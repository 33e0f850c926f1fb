#include <cstdio>

#include "app/client_run.h"
#include "app/options.h"

int main(int argc, char** argv) {
    zq::ParsedOptions parsed = zq::parseOptions(argc, argv);
    switch (parsed.action) {
        case zq::OptionsAction::Help:
            std::fputs(zq::usageText().c_str(), stdout);
            return zq::kExitOk;
        case zq::OptionsAction::Version:
            std::printf("%s\n", zq::kVersionText);
            return zq::kExitOk;
        case zq::OptionsAction::Error:
            std::fprintf(stderr, "zqclient: %s\n%s", parsed.error.c_str(), zq::usageText().c_str());
            return zq::kExitUsage;
        case zq::OptionsAction::Run:
            break;
    }
    return zq::runClient(parsed.options);
}
