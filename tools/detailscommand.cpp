#include "tools/commands.h"

#include "fonts/fontdetails.h"

#include <QFileInfo>

#include <cstdio>

namespace {

void printName(const char *label, const FontDetails::Name &name)
{
    if (name.isEmpty())
        return;
    std::printf("  %-10s %s", label, qPrintable(name.english));
    if (!name.chinese.isEmpty())
        std::printf("%s%s", name.english.isEmpty() ? "" : " / ", qPrintable(name.chinese));
    std::printf("\n");
}

} // namespace

int runDetailsCommand(const QStringList &args)
{
    if (args.isEmpty()) {
        std::fputs("usage: quillora-cli details FILE...\n", stderr);
        return 2;
    }
    int failed = 0;
    for (const QString &path : args) {
        const FontDetails::Details d = FontDetails::read(path);
        std::printf("%s\n", qPrintable(path));
        if (!d.ok) {
            std::printf("  error      %s\n", qPrintable(d.error));
            ++failed;
            continue;
        }
        printName("family", d.family);
        printName("style", d.style);
        printName("version", d.version);
        std::printf("  %-10s %d\n  %-10s %zu\n", "glyphs", d.glyphCount, "characters",
                    d.characters.size());
        for (const FontDetails::Coverage &c : d.coverage)
            std::printf("  %-10s %d/%d (%.1f%%)\n", qPrintable(c.label), c.covered, c.total,
                        c.percent());
    }
    return failed ? 1 : 0;
}
