// Pasted and dropped plain text: every thing it gives has a title of its own (no bare
// marker, no blanks around it, one line), and survives the plan file.
#include "fuzzcheck.h"
#include "pembythings.h"
#include "textutil.h"

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = fuzzText(data, size);
    const QList<PembyThing> things = PembyThings::parse(text);
    // A line that is only a check box holds no thing.
    static const QStringList bareBoxes{"- [ ]", "- [x]", "- [X]", "* [ ]", "* [x]", "\u2610", "\u2611"};
    for (const QString& line : pemby::splitLines(text)) {
        if (bareBoxes.contains(pemby::trimBlanks(line)))
            check(PembyThings::parse(line).isEmpty(), "a bare check box holds no thing");
    }
    for (const PembyThing& record : things) {
        check(!record.title.isEmpty(), "a pasted thing has a title");
        check(pemby::trimBlanks(record.title) == record.title, "a pasted title has no blanks around it");
        check(std::none_of(record.title.cbegin(), record.title.cend(), pemby::isLineBreak), "a pasted title is one line");
        for (const PembyStep& step : record.steps)
            check(!step.title.isEmpty(), "a pasted step has a title");
        checkSurvivesTheFile(record.toThing());
    }
    return 0;
}
