// vp3tool create: a package from files and folders.
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <unordered_map>

#include "names.h"
#include "platform/ascii.h"
#include "platform/files.h"
#include "vp3tool.h"

namespace vp3tool {
namespace {

namespace fs = std::filesystem;

// With the extraction option, the kind bit that lets the player extract an entry.
constexpr uint32_t kExtractKind = 0x01000000u;
constexpr size_t kChunkSize = 64 * 1024;
constexpr unsigned char kPngSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

struct CreateOptions {
    std::string output;
    std::string id = "OV3PKG";
    bool compress = false;
    std::vector<std::string> extractPatterns;
    std::string stub;
    std::vector<std::string> inputs;
};

struct Source {
    std::string entryName;    // CP932, "\" between folders
    std::string displayName;  // UTF-8, "/" between folders
    fs::path path;
    bool extract = false;
};

enum class Copy { Done, ReadFailed, WriteFailed };

std::string ErrnoText() {
    return std::strerror(errno);
}

// Options and inputs may be mixed; "--" ends the options.
int ParseOptions(const Arguments& args, CreateOptions& options) {
    std::vector<std::string> positional;
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            positional.push_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--compress") {
            options.compress = true;
        } else if (arg != "--id" && arg != "--extract" && arg != "--stub") {
            return UsageError("create: unknown option " + arg);
        } else if (i + 1 == args.size()) {
            return UsageError("create: " + arg + " needs a value");
        } else if (arg == "--id") {
            options.id = args[++i];
        } else if (arg == "--extract") {
            options.extractPatterns.push_back(args[++i]);
        } else {
            options.stub = args[++i];
        }
    }
    if (!IsArchiveId(options.id)) {
        return UsageError("create: --id takes 1 to 7 printable ASCII characters, not \"" +
                          options.id + "\"");
    }
    if (positional.size() < 2) return UsageError("create needs OUT and at least one INPUT");
    options.output = positional.front();
    options.inputs.assign(positional.begin() + 1, positional.end());
    return kExitOk;
}

bool IsOutput(const fs::path& path, const fs::path& output) {
    std::error_code error;
    return fs::equivalent(path, output, error);
}

// OUT is never packed into itself: it can be neither the stub nor a named input.
int CheckOutputIsNoInput(const CreateOptions& options) {
    for (const std::string& input : options.inputs) {
        if (IsOutput(input, options.output)) return UsageError(input + " is the output file");
    }
    if (IsOutput(options.stub, options.output)) {
        return UsageError(options.stub + " is the output file");
    }
    return kExitOk;
}

bool AddSource(const fs::path& path, const std::string& relativePath,
               std::vector<Source>& sources) {
    std::string why;
    std::optional<std::string> name = EntryNameFromPath(relativePath, &why);
    if (!name) {
        ReportError(path.string(), why);
        return false;
    }
    sources.push_back({*name, relativePath, path});
    return true;
}

// Every file below `root`; OUT is skipped, so a package can be rebuilt in
// the folder it packs.
bool CollectFolder(const fs::path& root, const fs::path& output, std::vector<Source>& sources) {
    std::error_code error;
    fs::recursive_directory_iterator it(root, fs::directory_options::follow_directory_symlink,
                                        error);
    for (; !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        std::error_code ignored;
        if (it->is_directory(ignored) || IsOutput(it->path(), output)) continue;
        if (!it->is_regular_file(ignored)) {
            ReportError(it->path().string(), "not a regular file");
            return false;
        }
        if (!AddSource(it->path(), it->path().lexically_relative(root).generic_string(), sources)) {
            return false;
        }
    }
    if (error) ReportError(root.string(), "cannot read: " + error.message());
    return !error;
}

bool CollectInput(const std::string& input, const fs::path& output, std::vector<Source>& sources) {
    std::error_code error;
    fs::file_status status = fs::status(input, error);
    if (fs::is_directory(status)) return CollectFolder(input, output, sources);
    if (fs::is_regular_file(status)) {
        return AddSource(input, fs::path(input).filename().string(), sources);
    }
    ReportError(input, error ? "cannot read: " + error.message() : "not a file or folder");
    return false;
}

// Sorted, so that the same inputs always make the same package; names the
// reader would not tell apart (it upper-cases a-z in every byte) are refused,
// since it only ever finds the first.
bool SortAndCheckNames(std::vector<Source>& sources) {
    std::sort(sources.begin(), sources.end(),
              [](const Source& a, const Source& b) { return a.entryName < b.entryName; });
    std::unordered_map<std::string, const Source*> byKey;
    for (const Source& source : sources) {
        auto [first, added] = byKey.emplace(platform::AsciiUpperCase(source.entryName), &source);
        if (!added) {
            ReportError(source.path.string(), "same entry name as " + first->second->path.string() +
                                                  " (letter case ignored)");
            return false;
        }
    }
    return true;
}

void MarkForExtraction(std::vector<Source>& sources, const std::vector<std::string>& patterns) {
    for (Source& source : sources) {
        source.extract = std::any_of(patterns.begin(), patterns.end(), [&](const auto& pattern) {
            return MatchesPattern(pattern, source.displayName);
        });
    }
}

// Hands `consume` the file chunk by chunk, the first chunk already read;
// the last call (its chunk possibly empty) is told so.
template <typename Consume>
Copy ForEachChunk(FILE* input, std::vector<unsigned char>& chunk, size_t got, Consume&& consume) {
    for (;;) {
        if (std::ferror(input)) return Copy::ReadFailed;
        bool last = got < chunk.size();
        if (!consume(chunk.data(), got, last)) return Copy::WriteFailed;
        if (last) return Copy::Done;
        got = std::fread(chunk.data(), 1, chunk.size(), input);
    }
}

// One zlib stream per entry, fed piece by piece into the entry being written.
class Deflater {
public:
    explicit Deflater(storage::LinkWriter& writer) : writer_(writer), output_(kChunkSize) {
        deflateInit(&stream_, Z_BEST_COMPRESSION);
    }
    ~Deflater() { deflateEnd(&stream_); }
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;

    bool Put(const unsigned char* data, size_t size, bool last) {
        stream_.next_in = const_cast<unsigned char*>(data);
        stream_.avail_in = static_cast<uInt>(size);
        do {
            stream_.next_out = output_.data();
            stream_.avail_out = static_cast<uInt>(output_.size());
            // Z_STREAM_ERROR only comes from a state that failed to initialise.
            if (deflate(&stream_, last ? Z_FINISH : Z_NO_FLUSH) == Z_STREAM_ERROR) return false;
            size_t produced = output_.size() - stream_.avail_out;
            if (storage::LinkW_Write(&writer_, output_.data(), 1, produced) != produced) {
                return false;
            }
        } while (stream_.avail_out == 0);
        return true;
    }

private:
    storage::LinkWriter& writer_;
    z_stream stream_{};
    std::vector<unsigned char> output_;
};

bool IsPng(const Source& source, const std::vector<unsigned char>& firstChunk, size_t got) {
    return platform::HasExtension(source.displayName, ".png") ||
           (got >= sizeof kPngSignature &&
            std::memcmp(firstChunk.data(), kPngSignature, sizeof kPngSignature) == 0);
}

// Whether the player could inflate the file again: it refuses streams that
// inflate beyond a fixed bound.
bool FitsInflateBound(const Source& source) {
    std::error_code error;
    return fs::file_size(source.path, error) <= storage::kLinkMaxInflated && !error;
}

Copy CopyEntryData(storage::LinkWriter& writer, const Source& source, FILE* input, bool compress) {
    std::vector<unsigned char> chunk(kChunkSize);
    size_t got = std::fread(chunk.data(), 1, chunk.size(), input);
    if (compress && !IsPng(source, chunk, got) && FitsInflateBound(source)) {
        writer.entry.attributes |= storage::kLinkCompressed;
        Deflater deflater(writer);
        return ForEachChunk(input, chunk, got,
                            [&](const unsigned char* data, size_t size, bool last) {
                                return deflater.Put(data, size, last);
                            });
    }
    return ForEachChunk(input, chunk, got, [&](const unsigned char* data, size_t size, bool) {
        return storage::LinkW_Write(&writer, data, 1, size) == size;
    });
}

void ReportWriteFailure(const std::string& output) {
    ReportError(output, "cannot write (a full disk, or beyond the 4 GiB a package can hold)");
}

bool WriteEntry(storage::LinkWriter& writer, const Source& source, bool compress,
                const std::string& output) {
    FILE* input = std::fopen(source.path.c_str(), "rb");
    if (!input) {
        ReportError(source.path.string(), "cannot open: " + ErrnoText());
        return false;
    }
    if (!storage::LinkW_BeginEntry(&writer, source.entryName.c_str())) {
        std::fclose(input);
        ReportWriteFailure(output);
        return false;
    }
    if (source.extract) {
        writer.entry.attributes |= kExtractKind;
        writer.entry.options |= storage::kLinkExtract;
    }
    Copy copy = CopyEntryData(writer, source, input, compress);
    std::fclose(input);
    bool ended = storage::LinkW_EndEntry(&writer);
    if (copy == Copy::ReadFailed) ReportError(source.path.string(), "cannot read");
    if (copy == Copy::WriteFailed || (copy == Copy::Done && !ended)) ReportWriteFailure(output);
    return copy == Copy::Done && ended;
}

bool WriteContents(storage::LinkWriter& writer, const CreateOptions& options,
                   const std::vector<Source>& sources) {
    if (!options.stub.empty() && !storage::LinkW_WriteStub(&writer, options.stub.c_str())) {
        ReportError(options.stub, "cannot copy it into " + options.output);
        return false;
    }
    return std::all_of(sources.begin(), sources.end(), [&](const Source& source) {
        return WriteEntry(writer, source, options.compress, options.output);
    });
}

int WritePackage(const CreateOptions& options, const std::vector<Source>& sources) {
    const std::string& output = options.output;
    // Built beside OUT and renamed over it only when complete, so that a
    // failure or an interruption leaves the old package as it was. The
    // writer's two scratch files go there too (the same file system, never
    // the current directory) and are never committed.
    platform::StagedFile package(output);
    platform::StagedFile headerTemp(output);
    platform::StagedFile dataTemp(output);
    for (const platform::StagedFile* file : {&package, &headerTemp, &dataTemp}) {
        if (!file->File()) {
            ReportError(output, "cannot create temporary files beside it: " +
                                    std::string(std::strerror(file->Error())));
            return kExitBadInput;
        }
    }
    storage::LinkWriter writer;
    storage::LinkW_Init(&writer);
    storage::Link_SetId(writer.header.id, options.id.c_str());
    if (!storage::LinkW_CreateWith(&writer, package.Path().c_str(), headerTemp.Path().c_str(),
                                   dataTemp.Path().c_str())) {
        ReportError(output, "cannot create temporary files beside it: " + ErrnoText());
        return kExitBadInput;
    }
    bool written = WriteContents(writer, options, sources);
    // Finish closes the files even after a failure, and then returns false.
    writer.failed = writer.failed || !written;
    if (!storage::LinkW_Finish(&writer)) {
        if (written) ReportWriteFailure(output);
        return kExitBadInput;
    }
    if (!package.Commit()) {
        ReportError(output, "cannot replace: " + std::string(std::strerror(package.Error())));
        return kExitBadInput;
    }
    return kExitOk;
}

}  // namespace

int Create(const Arguments& args) {
    CreateOptions options;
    if (int status = ParseOptions(args, options); status != kExitOk) return status;
    if (int status = CheckOutputIsNoInput(options); status != kExitOk) return status;
    std::error_code error;
    if (!options.stub.empty() && !fs::is_regular_file(options.stub, error)) {
        ReportError(options.stub, "not a readable file");
        return kExitBadInput;
    }
    std::vector<Source> sources;
    for (const std::string& input : options.inputs) {
        if (!CollectInput(input, options.output, sources)) return kExitBadInput;
    }
    if (!SortAndCheckNames(sources)) return kExitBadInput;
    MarkForExtraction(sources, options.extractPatterns);
    return WritePackage(options, sources);
}

}  // namespace vp3tool
