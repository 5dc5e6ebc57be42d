// The base64url payload of an add link: what it gives are records as the interchange
// JSON gives them, each surviving the plan file.
#include "fuzzcheck.h"
#include "pembythings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const auto things = PembyThings::thingsFromLinkPayload(fuzzText(data, size));
    if (!things)
        return 0;
    for (const PembyThing& record : *things) {
        check(record.zs >= 0 && record.zs <= Thing::maxMoveCount, "a record's move count is within what the plan keeps");
        checkSurvivesTheFile(record.toThing());
    }
    return 0;
}
