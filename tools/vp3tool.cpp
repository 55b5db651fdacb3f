// vp3tool: builds, lists, extracts, verifies and checks game packages and system
// libraries, and converts pictures.
#include "vp3tool.h"

#include <cstdio>
#include <cstring>

#include "platform/encoding.h"
#include "platform/files.h"

namespace {

constexpr const char* kHelp = R"(Usage: vp3tool COMMAND ARGUMENTS
Builds, inspects and checks Orvanta 3 game packages (.vp3) and system libraries
(.vlb), and converts pictures the player shows into PNG.

vp3tool create OUT [--id ID] [--compress] [--extract PATTERN]... [--stub FILE] INPUT...
    Builds the package OUT. Every file below a folder INPUT becomes an entry named
    by its path relative to that folder; a file INPUT becomes an entry named by its
    file name. Names are stored in CP932 with "\" between folders; a name must fit
    255 bytes in CP932, hold only characters CP932 has, and differ from every other
    name in more than letter case. Entries are sorted by name, so the same inputs
    always make the same package. Symbolic links are followed; OUT itself is never
    packed. The package is built beside OUT and replaces it only when complete;
    its temporary files are removed on failure and on SIGINT or SIGTERM.
    Options and inputs may be mixed; "--" ends the options.
    --id ID            archive ID: OV3PKG (the default, a game), OV3LIB (a system
                       library) or any other 1 to 7 printable ASCII characters
    --compress         store every entry as a zlib stream, except PNG pictures
                       (named *.png or starting with the PNG signature), which the
                       player reads as they are, and files above 1 GiB
    --extract PATTERN  mark the entries that PATTERN matches for extraction into
                       the game's data directory: option bit 24 (0x01000000) and
                       kind bit 0x01000000 in the attributes. PATTERN is a shell
                       glob matched against the name with "/" between folders and
                       against its last part, letter case ignored; "*" also
                       matches "/". May be given more than once.
    --stub FILE        write FILE first and append the package behind it after a
                       separator line (a self-running game)

vp3tool list PKG
    Prints "ID: ..." and "Description: ...", then one line per entry in directory
    order with tab-separated fields: the name (UTF-8, "/" between folders), the
    stored size, the plain size (the stored size, or what a compressed entry
    inflates to; "?" when it cannot be inflated), "compressed" or "stored", and
    "extract" when the player would extract the entry (option bit 24 and a kind
    bit set), else "-".

vp3tool extract PKG DIR [NAME...]
    Writes the entries, decompressed, to files below DIR (made if missing), or only
    the entries NAME (UTF-8, "/" or "\" between folders, letter case ignored).
    Names are split into folders as the player splits them, empty and "." parts
    left out. An entry whose name is empty, absolute, starts with a drive letter,
    has a ".." component or control characters is refused; symbolic links
    already in DIR are never followed, and a file already there is replaced,
    never written into. A refused or unreadable entry is reported and the
    others are still written; no file is left half written.

vp3tool verify PKG
    Checks the directory and every entry: the name is safe to extract, no earlier
    entry hides it (same name but for letter case), no PNG picture is compressed,
    and every compressed entry inflates. Prints "PKG: sound, entries: N" when all
    is well, else one line per faulty entry on stderr.

vp3tool convert IN OUT.png [--plugins DIR]
    Decodes the picture IN with the player's own loader (PNG, BMP, MAG, and every
    format an image plug-in "*.spi" reads: those where the player finds them, or
    those in DIR) and writes it as an 8-bit RGBA PNG, the picture's transparency
    as the alpha channel.

vp3tool check PKG [--library PATH]
    Reads the game PKG (a package, or a plain scenario file starting with "///")
    as the player opens it, with the system library PATH (by default the
    veltort3.vlb the player uses: beside the programs, else where they are
    installed), and lists what would go wrong without playing it, one finding a
    line in UTF-8:
        PLACE: error: TEXT   or   PLACE: warning: TEXT
    PLACE is "-" for the package as a whole, an entry's name for an entry of
    the package, BOOK/PAGE for a page as a whole and BOOK/PAGE#INDEX for a
    command (INDEX counts the page's commands from 0). Findings are listed in
    that order, by their places in the package, each once.
    Errors: a jump, call, choice or button leading to no page; a picture or
    sound named without variables that the player would not find where it
    looks (pictures in the package, or on disk for a plain scenario file, PNG
    pictures also in the library; sounds in the data directory or beside the
    package, letter case ignored on disk too), or a picture it cannot read; an
    unknown command; "@if", "@else" and "@endif" that do not pair up within a
    page; a page of more than 500 commands; a layer not in the layer list; a
    missing or wrong FileType; a CommandVersion newer than 16; a PNG entry
    stored compressed; a damaged scenario and anything else the player reports
    while opening the game (a damaged scenario's pages are not checked).
    Warnings: a variable (%NAME% or $NAME$) read but never declared in the
    blocks "ValueFlag" or "StringFlag" nor set by a command, where it is first
    read; a page that nothing leads to from the start page, the library's
    pages or a button; text that is not valid CP932; a picture larger than the
    game screen.
    Given the system library itself (ID OV3LIB), checks its book "_system".
    Exit status 0 when there is no error, 1 when there is one.

A file that starts with an archive ID (1 to 7 printable ASCII characters padded
with NUL to 8 bytes, such as OV3PKG, OV3LIB or LINKAGE) is read as a plain archive;
any other file is searched for an archive appended behind a separator line.

Exit status: 0 success; 1 a damaged or unreadable input, an output that cannot
be written, or (for check) a game with an error; 2 a bad command line. Each error
is one line on stderr naming the file.
)";

}  // namespace

int main(int argc, char** argv) {
    if (std::string problem; !platform::CheckTextEncoding(problem)) {
        std::fprintf(stderr, "vp3tool: %s\n", problem.c_str());
    }
    platform::RemoveStagedFilesOnSignals();
    platform::ScopedBackend installed(vp3tool::Platform());
    vp3tool::Platform().Boxes().onShow = [](const platform::MessageRecord& record) {
        std::fprintf(stderr, "%s\n", platform::FormatMessageRecord(record).c_str());
    };
    if (argc < 2) return vp3tool::UsageError("no command given");
    const char* command = argv[1];
    if (std::strcmp(command, "--help") == 0 || std::strcmp(command, "-h") == 0) {
        std::fputs(kHelp, stdout);
        return vp3tool::kExitOk;
    }
    vp3tool::Arguments args(argv + 2, argv + argc);
    if (std::strcmp(command, "create") == 0) return vp3tool::Create(args);
    if (std::strcmp(command, "list") == 0) return vp3tool::List(args);
    if (std::strcmp(command, "extract") == 0) return vp3tool::Extract(args);
    if (std::strcmp(command, "verify") == 0) return vp3tool::Verify(args);
    if (std::strcmp(command, "convert") == 0) return vp3tool::Convert(args);
    if (std::strcmp(command, "check") == 0) return vp3tool::Check(args);
    return vp3tool::UsageError(std::string("unknown command ") + command);
}
