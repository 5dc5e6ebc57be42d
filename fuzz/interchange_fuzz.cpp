// The interchange JSON of the clipboard and the hand-off: what decodes encodes and
// decodes to the same records, their counts stay within what the plan keeps, and each
// record, made a thing, survives the plan file.
#include "fuzzcheck.h"
#include "pembythings.h"
#include "textutil.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const auto things = PembyThings::decode(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    if (!things)
        return 0;
    check(!things->isEmpty(), "a decode that gives records gives at least one");
    const auto encoded = PembyThings::encode(*things);
    check(encoded.has_value(), "decoded records encode");
    check(PembyThings::decode(*encoded) == things, "encoded records decode to the same records");
    for (const PembyThing& record : *things) {
        check(record.zs >= 0 && record.zs <= Thing::maxMoveCount, "a record's move count is within what the plan keeps");
        check(!pemby::trimWhitespace(record.title).isEmpty(), "no record has a blank title");
        Thing thing = record.toThing();
        checkSurvivesTheFile(thing);
        thing.countMove();
        check(thing.zs <= Thing::maxMoveCount, "a move never overflows the count");
    }
    return 0;
}
