// libFuzzer target for the font details reader. Each input is a whole font file.
// Besides the sanitizers it checks what the dialog relies on: mapped characters
// ascending, unique and inside Unicode, and coverage counts within their sets.
#include "fonts/fontdetails.h"

#include <QByteArray>

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace {
void check(bool ok)
{
    if (!ok)
        std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray file =
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(size));
    const FontDetails::Details d = FontDetails::readFromMemory(file);
    check(d.ok == d.error.isEmpty());
    const auto &c = d.characters;
    check(std::adjacent_find(c.begin(), c.end(), [](uint a, uint b) { return a >= b; }) ==
          c.end());
    check(c.empty() || c.back() <= 0x10FFFF);
    for (const FontDetails::Coverage &coverage : d.coverage)
        check(coverage.covered >= 0 && coverage.covered <= coverage.total);
    for (const FontDetails::Name *name : {&d.family, &d.style, &d.licence, &d.copyright})
        check(name->chinese.size() <= FontDetails::kMaxNameUnits &&
              name->english.size() <= FontDetails::kMaxNameUnits);
    return 0;
}
