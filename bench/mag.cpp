// Decoding a 640x400 MAG picture of 256 colours (and one of 16 colours) into
// its BMP image, beside a memcpy of that image. The pictures are encoded here
// by a small encoder that takes the first copy offset holding the same unit,
// so the decoder runs its copy paths, not only raw pixels.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "storage/Mag_conv.h"

using namespace storage;

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 400;

constexpr int kUnitsLeft[16] = {0, 1, 2, 4, 0, 1, 0, 1, 2, 0, 1, 2, 0, 1, 2, 0};
constexpr int kRowsUp[16] = {0, 0, 0, 0, 1, 1, 2, 2, 2, 4, 4, 4, 8, 8, 8, 16};

void Put(std::string& bytes, uint32_t value, int size) {
    for (int i = 0; i < size; ++i) bytes += char(value >> (8 * i));
}

// Colour indices of a picture with flat areas, bands and a noisy patch.
std::vector<uint8_t> Picture(int colours) {
    std::mt19937 random(7);
    std::vector<uint8_t> pixels(kWidth * kHeight);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const int dx = x - 320, dy = y - 200;
            int index = y / 8;  // horizontal bands
            if (dx * dx + dy * dy < 120 * 120) index = 200 + (x / 16 + y / 16) % 8;    // tiles
            if (x > 40 && x < 200 && y > 250 && y < 350) index = int(random() % 256);  // noise
            pixels[y * kWidth + x] = uint8_t(index % colours);
        }
    }
    return pixels;
}

// Top-down rows of MAG units: a byte per pixel, or two pixels per byte.
std::vector<uint8_t> Rows(const std::vector<uint8_t>& pixels, bool wide) {
    if (wide) return pixels;
    std::vector<uint8_t> rows(pixels.size() / 2);
    for (size_t i = 0; i < rows.size(); ++i)
        rows[i] = uint8_t(pixels[2 * i] << 4 | pixels[2 * i + 1]);
    return rows;
}

std::string Encode(const std::vector<uint8_t>& rows, bool wide) {
    const int lineBytes = wide ? kWidth : kWidth / 2;
    auto unit = [&](int y, int u) {
        return rows[y * lineBytes + 2 * u] | rows[y * lineBytes + 2 * u + 1] << 8;
    };
    auto nibbleOf = [&](int y, int u) {
        for (int nibble = 1; nibble < 16; ++nibble) {
            if (kRowsUp[nibble] <= y && kUnitsLeft[nibble] <= u &&
                unit(y - kRowsUp[nibble], u - kUnitsLeft[nibble]) == unit(y, u)) {
                return nibble;
            }
        }
        return 0;
    };

    std::vector<bool> flagABits;
    std::string flagB, pixels;
    std::vector<uint8_t> flags(lineBytes / 4, 0);
    for (int y = 0; y < kHeight; ++y) {
        for (int j = 0; j < lineBytes / 4; ++j) {
            const int high = nibbleOf(y, 2 * j), low = nibbleOf(y, 2 * j + 1);
            const uint8_t flag = uint8_t(high << 4 | low);
            flagABits.push_back(flag != flags[j]);
            if (flag != flags[j]) flagB += char(flag ^ flags[j]);
            flags[j] = flag;
            if (high == 0) Put(pixels, unit(y, 2 * j), 2);
            if (low == 0) Put(pixels, unit(y, 2 * j + 1), 2);
        }
    }
    std::string flagA((flagABits.size() + 7) / 8, '\0');
    for (size_t i = 0; i < flagABits.size(); ++i) {
        if (flagABits[i]) flagA[i / 8] = char(flagA[i / 8] | 0x80 >> i % 8);
    }

    std::string palette;
    for (int i = 0; i < (wide ? 256 : 16); ++i) palette += {char(i), char(255 - i), char(i * 7)};
    const uint32_t flagAOffset = uint32_t(kMagHeaderSize + palette.size());
    std::string mag = std::string("MAKI02  BNCH") + std::string(19, ' ') + '\x1A';
    Put(mag, 0, 3);
    Put(mag, wide ? 0x80 : 0, 1);
    for (uint32_t edge : {0, 0, kWidth - 1, kHeight - 1}) Put(mag, edge, 2);
    Put(mag, flagAOffset, 4);
    Put(mag, uint32_t(flagAOffset + flagA.size()), 4);
    Put(mag, uint32_t(flagB.size()), 4);
    Put(mag, uint32_t(flagAOffset + flagA.size() + flagB.size()), 4);
    Put(mag, uint32_t(pixels.size()), 4);
    return mag + palette + flagA + flagB + pixels;
}

const std::string& MagFile(bool wide) {
    static const std::string files[2] = {Encode(Rows(Picture(16), false), false),
                                         Encode(Rows(Picture(256), true), true)};
    return files[wide];
}

MagInfo InfoOf(const std::string& mag) {
    MagInfo info;
    const auto* data = reinterpret_cast<const uint8_t*>(mag.data());
    if (MMAG_ParseHeader(data, mag.size(), &info) != kMagComplete) std::abort();
    return info;
}

void DecodeMag(benchmark::State& state) {
    const std::string& mag = MagFile(state.range(0) == 256);
    const MagInfo info = InfoOf(mag);
    const auto* data = reinterpret_cast<const uint8_t*>(mag.data());
    std::vector<uint8_t> bmp(MMAG_BmpSizeOf(&info));
    for (auto _ : state) {
        if (MMAG_DecodeToBmp(data, mag.size(), bmp.data(), bmp.size()) != 0) std::abort();
        benchmark::DoNotOptimize(bmp.data());
    }
    state.SetBytesProcessed(state.iterations() * bmp.size());
    state.counters["mag_bytes"] = double(mag.size());
}
BENCHMARK(DecodeMag)->Arg(256)->Arg(16)->Unit(benchmark::kMicrosecond);

// Copying the finished BMP image: the floor for producing it.
void CopyBmp(benchmark::State& state) {
    const MagInfo info = InfoOf(MagFile(state.range(0) == 256));
    std::vector<uint8_t> source(MMAG_BmpSizeOf(&info), 1), target(source.size());
    for (auto _ : state) {
        std::memcpy(target.data(), source.data(), source.size());
        benchmark::DoNotOptimize(target.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * source.size());
}
BENCHMARK(CopyBmp)->Arg(256)->Arg(16)->Unit(benchmark::kMicrosecond);

}  // namespace
