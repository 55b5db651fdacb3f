// Reading packages: every entry of a large package into memory, beside zlib's
// uncompress and a plain fread of the same bytes; opening a package with many
// entries and looking names up, beside reading its directory bytes and a hash
// lookup of names that are already folded; opening a package whose names are
// crafted to collide, beside the package of ordinary names.
#include <benchmark/benchmark.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

#include "common/colliding_names.h"
#include "storage/Link_arc.h"

using namespace storage;

namespace {

constexpr int kBigEntries = 2000;
constexpr size_t kBigEntrySize = 100 * 1024;  // 200 MB of content; every other entry compressed
constexpr int kManyEntries = 100000;
// An unkeyed table for kManyEntries names has 2^18 slots.
constexpr int kCollidingBits = 18;

// Script-like text: compresses about 3:1, not to nothing.
std::string Content(std::mt19937& random, size_t size) {
    static const char* const kWords[] = {
        "@MessageDraw", "Text=",  "layer", "window",  "picture", "fade", "sound", "click",
        "wait",         "page",   "book",  "%count%", "$name$",  "Jump", "Call",  "Return",
        "background",   "select", "music", "loop",    "\r\n",    "\r\n", "=",     "0x",
    };
    std::string text;
    while (text.size() < size) {
        text += kWords[random() % std::size(kWords)];
        text += std::to_string(random() % 5000);
        text += ' ';
    }
    text.resize(size);
    return text;
}

std::string Compressed(const std::string& plain) {
    uLongf size = compressBound(plain.size());
    std::string stream(size, '\0');
    compress(reinterpret_cast<Bytef*>(stream.data()), &size,
             reinterpret_cast<const Bytef*>(plain.data()), plain.size());
    stream.resize(size);
    return stream;
}

std::string ManyName(int i) {
    return "Data\\Image\\picture_" + std::to_string(i) + ".png";
}

// A package written once per process in /tmp and removed at exit.
struct Package {
    std::string path;

    template <typename MakeEntry>
    Package(const char* name, int entries, MakeEntry makeEntry) {
        path = std::string("/tmp/orv_bench_") + name + "_" + std::to_string(getpid()) + ".vp3";
        std::string headerTemp = path + ".h", dataTemp = path + ".d";
        LinkWriter writer;
        LinkW_Init(&writer);
        if (!LinkW_CreateWith(&writer, path.c_str(), headerTemp.c_str(), dataTemp.c_str())) {
            std::abort();
        }
        for (int i = 0; i < entries; ++i) makeEntry(writer, i);
        if (!LinkW_Finish(&writer)) std::abort();
    }
    ~Package() { std::remove(path.c_str()); }
};

const Package& BigPackage() {
    static const Package package(
        "big", kBigEntries, [random = std::mt19937(1)](LinkWriter& writer, int i) mutable {
            std::string plain = Content(random, kBigEntrySize);
            std::string stored = i % 2 ? Compressed(plain) : plain;
            LinkW_BeginEntry(&writer, ("entry" + std::to_string(i)).c_str());
            if (i % 2) writer.entry.attributes |= kLinkCompressed;
            LinkW_Write(&writer, stored.data(), 1, stored.size());
            LinkW_EndEntry(&writer);
        });
    return package;
}

void AddSmallEntry(LinkWriter& writer, const std::string& name, int i) {
    LinkW_BeginEntry(&writer, name.c_str());
    LinkW_Write(&writer, &i, sizeof i, 1);
    LinkW_EndEntry(&writer);
}

const Package& ManyPackage() {
    static const Package package("many", kManyEntries, [](LinkWriter& writer, int i) {
        AddSmallEntry(writer, ManyName(i), i);
    });
    return package;
}

const Package& CollidingPackage() {
    static const std::vector<std::string> names =
        testkit::CollidingNames(kManyEntries, kCollidingBits);
    static const Package package("colliding", kManyEntries, [](LinkWriter& writer, int i) {
        AddSmallEntry(writer, names[i], i);
    });
    return package;
}

LinkReader OpenOrAbort(const Package& package) {
    LinkReader reader;
    if (!Link_Open(package.path.c_str(), &reader)) std::abort();
    return reader;
}

void ReadEveryEntry(benchmark::State& state) {
    LinkReader reader = OpenOrAbort(BigPackage());
    LinkMemoryStream stream;
    for (auto _ : state) {
        for (int32_t i = 0; i < reader.count; ++i) {
            stream.bytes.clear();
            if (!Link_ReadToStream(&stream, i, &reader)) std::abort();
            benchmark::DoNotOptimize(stream.bytes.data());
        }
    }
    state.SetBytesProcessed(state.iterations() * kBigEntries * kBigEntrySize);
    Link_Close(&reader);
}
BENCHMARK(ReadEveryEntry)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same bytes with fread and zlib's one-call uncompress into buffers of the
// known size: the floor for reading the package.
void ReadEveryEntryReference(benchmark::State& state) {
    LinkReader reader = OpenOrAbort(BigPackage());
    FILE* file = std::fopen(BigPackage().path.c_str(), "rb");
    std::vector<unsigned char> stored(kBigEntrySize * 2), plain(kBigEntrySize);
    for (auto _ : state) {
        for (const LinkEntry& entry : reader.entries) {
            std::fseek(file, static_cast<long>(reader.dataBase + entry.offset), SEEK_SET);
            bool compressed = entry.attributes & kLinkCompressed;
            unsigned char* target = compressed ? stored.data() : plain.data();
            if (std::fread(target, 1, entry.size, file) != entry.size) std::abort();
            uLongf size = plain.size();
            if (compressed && uncompress(plain.data(), &size, stored.data(), entry.size) != Z_OK) {
                std::abort();
            }
            benchmark::DoNotOptimize(plain.data());
        }
    }
    state.SetBytesProcessed(state.iterations() * kBigEntries * kBigEntrySize);
    std::fclose(file);
    Link_Close(&reader);
}
BENCHMARK(ReadEveryEntryReference)->Unit(benchmark::kMillisecond)->UseRealTime();

void Open(benchmark::State& state, const Package& package) {
    for (auto _ : state) {
        LinkReader reader;
        if (!Link_Open(package.path.c_str(), &reader)) std::abort();
        Link_Close(&reader);
    }
}

void OpenManyEntries(benchmark::State& state) {
    Open(state, ManyPackage());
}
BENCHMARK(OpenManyEntries)->Unit(benchmark::kMillisecond)->UseRealTime();

// As many names, all crafted to share one slot of an unkeyed name table; its
// reference is OpenManyEntries.
void OpenCollidingNames(benchmark::State& state) {
    Open(state, CollidingPackage());
}
BENCHMARK(OpenCollidingNames)->Unit(benchmark::kMillisecond)->UseRealTime();

// Reading the header and directory bytes alone.
void OpenManyEntriesReference(benchmark::State& state) {
    const Package& package = ManyPackage();
    std::vector<char> directory(kLinkHeaderSize + size_t{kLinkEntrySize} * kManyEntries);
    for (auto _ : state) {
        FILE* file = std::fopen(package.path.c_str(), "rb");
        if (std::fread(directory.data(), 1, directory.size(), file) != directory.size()) {
            std::abort();
        }
        std::fclose(file);
    }
}
BENCHMARK(OpenManyEntriesReference)->Unit(benchmark::kMillisecond)->UseRealTime();

// Names in another case than stored, so that folding is part of the cost.
std::vector<std::string> LookupNames() {
    std::vector<std::string> names;
    for (int i = 0; i < kManyEntries; ++i)
        names.push_back("data\\image\\PICTURE_" + std::to_string(i) + ".PNG");
    return names;
}

benchmark::Counter PerLookup() {
    return benchmark::Counter(
        kManyEntries, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void LookUpNames(benchmark::State& state) {
    LinkReader reader = OpenOrAbort(ManyPackage());
    std::vector<std::string> names = LookupNames();
    for (auto _ : state) {
        int64_t sum = 0;
        for (const std::string& name : names) sum += Link_FindIndex(&reader, name.c_str());
        benchmark::DoNotOptimize(sum);
    }
    state.counters["per_lookup"] = PerLookup();
    Link_Close(&reader);
}
BENCHMARK(LookUpNames)->Unit(benchmark::kMillisecond);

// A hash map of names already in the stored case: hashing and comparing only.
void LookUpNamesReference(benchmark::State& state) {
    std::unordered_map<std::string, int32_t> index;
    std::vector<std::string> names;
    for (int i = 0; i < kManyEntries; ++i) {
        names.push_back(ManyName(i));
        index.emplace(names.back(), i);
    }
    for (auto _ : state) {
        int64_t sum = 0;
        for (const std::string& name : names) sum += index.find(name)->second;
        benchmark::DoNotOptimize(sum);
    }
    state.counters["per_lookup"] = PerLookup();
}
BENCHMARK(LookUpNamesReference)->Unit(benchmark::kMillisecond);

}  // namespace
