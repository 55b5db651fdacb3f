/*
 * tga.spi: an import plug-in for TGA pictures. It decodes colour-mapped
 * (8-bit indices, 24- or 32-bit map entries), true-colour (24 and 32 bits) and
 * greyscale (8 bits) pictures, plain or run-length encoded, stored from the
 * bottom row up or from the top down. Files come from strangers: every read is
 * bounds-checked, and the size a header claims is weighed against the bytes
 * that follow before anything is allocated.
 */
#include <stdlib.h>
#include <string.h>

#include "storage/spi_plugin.h"

enum {
    kHeaderBytes = 18,
    kColourMapped = 1,
    kTrueColour = 2,
    kGreyscale = 3,
    kRunLength = 8,      /* added to the kinds above */
    kRightToLeft = 0x10, /* descriptor bits */
    kTopDown = 0x20,
    kInterleave = 0xC0,
    kMaxPacket = 128 /* pixels one run-length packet covers at most */
};

typedef struct TgaHeader {
    unsigned idLength;
    unsigned mapType;
    unsigned imageType;
    unsigned mapFirst;
    unsigned mapLength;
    unsigned mapEntryBits;
    unsigned width;
    unsigned height;
    unsigned pixelBits;
    unsigned descriptor;
} TgaHeader;

/* The unread part of the file. */
typedef struct Input {
    const unsigned char* next;
    size_t left;
} Input;

/* A run-length packet may carry on from one row into the next. */
typedef struct Packet {
    unsigned pixelsLeft;
    int repeat;
    unsigned char pixel[4];
} Packet;

static unsigned Le16(const unsigned char* bytes) {
    return bytes[0] | (unsigned)bytes[1] << 8;
}

static void ParseHeader(const unsigned char* bytes, TgaHeader* header) {
    header->idLength = bytes[0];
    header->mapType = bytes[1];
    header->imageType = bytes[2];
    header->mapFirst = Le16(bytes + 3);
    header->mapLength = Le16(bytes + 5);
    header->mapEntryBits = bytes[7];
    header->width = Le16(bytes + 12);
    header->height = Le16(bytes + 14);
    header->pixelBits = bytes[16];
    header->descriptor = bytes[17];
}

static unsigned Kind(const TgaHeader* header) {
    return header->imageType & ~(unsigned)kRunLength;
}

static int ValidMapEntryBits(unsigned bits) {
    return bits == 15 || bits == 16 || bits == 24 || bits == 32;
}

/* Whether the header describes a picture this plug-in decodes. */
static int Decodable(const TgaHeader* header) {
    unsigned kind = Kind(header);
    if (header->mapType > 1 || kind < kColourMapped || kind > kGreyscale) return 0;
    if (header->mapType == 1 && !ValidMapEntryBits(header->mapEntryBits)) return 0;
    if (header->width == 0 || header->height == 0 || header->width > SPI_MAX_SIDE ||
        header->height > SPI_MAX_SIDE ||
        (unsigned long)header->width * header->height > SPI_MAX_PIXELS) {
        return 0;
    }
    if (header->descriptor & (kRightToLeft | kInterleave)) return 0;
    switch (kind) {
        case kColourMapped:
            return header->mapType == 1 && header->mapLength > 0 && header->pixelBits == 8 &&
                   header->mapEntryBits >= 24;
        case kTrueColour:
            return header->pixelBits == 24 || header->pixelBits == 32;
        default:
            return header->pixelBits == 8;
    }
}

static int ReadHeader(const unsigned char* data, size_t size, TgaHeader* header) {
    if (size < kHeaderBytes) return 0;
    ParseHeader(data, header);
    return Decodable(header);
}

static const unsigned char* Take(Input* input, size_t count) {
    const unsigned char* bytes = input->next;
    if (count > input->left) return NULL;
    input->next += count;
    input->left -= count;
    return bytes;
}

static size_t MapBytes(const TgaHeader* header) {
    return header->mapType == 1 ? header->mapLength * ((header->mapEntryBits + 7) / 8) : 0;
}

/* Bytes of a row in the bits block, padded to a multiple of 4. */
static size_t Stride(const TgaHeader* header) {
    return ((size_t)header->width * (header->pixelBits / 8) + 3) & ~(size_t)3;
}

/* Even the densest run-length data spends a count byte and one pixel on at
 * most 128 pixels; a file shorter than that cannot hold the picture. */
static int EnoughData(const TgaHeader* header, size_t left) {
    size_t pixels = (size_t)header->width * header->height;
    size_t pixelBytes = header->pixelBits / 8;
    if (header->imageType & kRunLength) {
        return left / (1 + pixelBytes) >= (pixels + kMaxPacket - 1) / kMaxPacket;
    }
    return left / pixelBytes >= pixels;
}

static void PutColour(SpiRgbQuad* quad, unsigned blue, unsigned green, unsigned red) {
    quad->blue = (unsigned char)blue;
    quad->green = (unsigned char)green;
    quad->red = (unsigned char)red;
    quad->reserved = 0;
}

/* Map entry k serves index mapFirst + k; indices without an entry are black. */
static void FillColourTable(const TgaHeader* header, const unsigned char* map, SpiRgbQuad* table) {
    unsigned entryBytes = header->mapEntryBits / 8;
    unsigned i;
    for (i = 0; i < 256; ++i) {
        if (Kind(header) == kGreyscale) {
            PutColour(&table[i], i, i, i);
        } else if (i >= header->mapFirst && i - header->mapFirst < header->mapLength) {
            const unsigned char* entry = map + (i - header->mapFirst) * entryBytes;
            PutColour(&table[i], entry[0], entry[1], entry[2]);
        } else {
            PutColour(&table[i], 0, 0, 0);
        }
    }
}

static void* NewBitmapInfo(const TgaHeader* header, const unsigned char* map) {
    int indexed = header->pixelBits == 8;
    size_t size = sizeof(SpiBitmapInfoHeader) + (indexed ? 256 * sizeof(SpiRgbQuad) : 0);
    SpiBitmapInfoHeader* info = calloc(1, size);
    if (!info) return NULL;
    info->size = sizeof *info;
    info->width = (int32_t)header->width;
    /* Rows go into the bits block in file order, which the sign describes. */
    info->height =
        header->descriptor & kTopDown ? -(int32_t)header->height : (int32_t)header->height;
    info->planes = 1;
    info->bitCount = (uint16_t)header->pixelBits;
    if (indexed) FillColourTable(header, map, (SpiRgbQuad*)(info + 1));
    return info;
}

static int ReadPlainRow(Input* input, unsigned char* row, size_t rowBytes) {
    const unsigned char* bytes = Take(input, rowBytes);
    if (!bytes) return 0;
    memcpy(row, bytes, rowBytes);
    return 1;
}

static int ReadPackedRow(Input* input, Packet* packet, unsigned char* row, unsigned width,
                         unsigned pixelBytes) {
    unsigned x = 0;
    while (x < width) {
        unsigned count;
        if (packet->pixelsLeft == 0) {
            const unsigned char* head = Take(input, 1);
            if (!head) return 0;
            packet->pixelsLeft = (head[0] & 0x7Fu) + 1;
            packet->repeat = head[0] & 0x80;
            if (packet->repeat) {
                const unsigned char* pixel = Take(input, pixelBytes);
                if (!pixel) return 0;
                memcpy(packet->pixel, pixel, pixelBytes);
            }
        }
        count = packet->pixelsLeft < width - x ? packet->pixelsLeft : width - x;
        if (packet->repeat) {
            unsigned i;
            for (i = 0; i < count; ++i) {
                memcpy(row + (x + i) * pixelBytes, packet->pixel, pixelBytes);
            }
        } else {
            const unsigned char* pixels = Take(input, (size_t)count * pixelBytes);
            if (!pixels) return 0;
            memcpy(row + x * pixelBytes, pixels, (size_t)count * pixelBytes);
        }
        x += count;
        packet->pixelsLeft -= count;
    }
    return 1;
}

/* The rows in file order into a block of rows padded to 4 bytes. */
static int ReadRows(const TgaHeader* header, Input* input, unsigned char* bits,
                    SpiProgressCallback progress, intptr_t callbackData) {
    unsigned pixelBytes = header->pixelBits / 8;
    size_t rowBytes = (size_t)header->width * pixelBytes;
    size_t stride = Stride(header);
    int total = (int)header->height;
    Packet packet = {0, 0, {0, 0, 0, 0}};
    int y;
    for (y = 0; y < total; ++y) {
        unsigned char* row = bits + stride * (size_t)y;
        int read;
        if (progress && progress(y, total, callbackData)) return SPI_ABORTED;
        read = header->imageType & kRunLength
                   ? ReadPackedRow(input, &packet, row, header->width, pixelBytes)
                   : ReadPlainRow(input, row, rowBytes);
        if (!read) return SPI_BROKEN;
    }
    if (progress && progress(total, total, callbackData)) return SPI_ABORTED;
    return SPI_OK;
}

static int Decode(const unsigned char* data, size_t size, void** bitmapInfo, void** bitmapBits,
                  SpiProgressCallback progress, intptr_t callbackData) {
    TgaHeader header;
    Input input = {data, size};
    const unsigned char* map;
    void* info;
    unsigned char* bits;
    int result;

    if (!ReadHeader(data, size, &header)) return SPI_UNSUPPORTED;
    Take(&input, kHeaderBytes);
    if (!Take(&input, header.idLength)) return SPI_BROKEN;
    map = Take(&input, MapBytes(&header));
    if (!map || !EnoughData(&header, input.left)) return SPI_BROKEN;

    info = NewBitmapInfo(&header, map);
    bits = calloc(header.height, Stride(&header));
    if (!info || !bits) {
        free(info);
        free(bits);
        return SPI_NO_MEMORY;
    }
    result = ReadRows(&header, &input, bits, progress, callbackData);
    if (result != SPI_OK) {
        free(info);
        free(bits);
        return result;
    }
    *bitmapInfo = info;
    *bitmapBits = bits;
    return SPI_OK;
}

static int CopyText(const char* text, char* buffer, int bufferLength) {
    size_t length = strlen(text);
    if (bufferLength <= 0) return 0;
    if (length > (size_t)bufferLength - 1) length = (size_t)bufferLength - 1;
    memcpy(buffer, text, length);
    buffer[length] = '\0';
    return (int)length;
}

SPI_EXPORT int GetPluginInfo(int infoNumber, char* buffer, int bufferLength) {
    static const char* const texts[] = {SPI_IMPORT_VERSION, "TGA import plug-in for Orvanta 3",
                                        "*.tga;*.tpic", "TGA picture"};
    if (!buffer || infoNumber < 0 || infoNumber >= (int)(sizeof texts / sizeof texts[0])) {
        return 0;
    }
    return CopyText(texts[infoNumber], buffer, bufferLength);
}

SPI_EXPORT int IsSupported(const char* fileName, const void* data) {
    TgaHeader header;
    (void)fileName;
    return data && ReadHeader(data, SPI_PROBE_BYTES, &header);
}

SPI_EXPORT int GetPictureInfo(const char* buffer, long length, unsigned int flag,
                              SpiPictureInfo* info) {
    TgaHeader header;
    if ((flag & SPI_SOURCE_MASK) != SPI_SOURCE_MEMORY) return SPI_NOT_IMPLEMENTED;
    if (!buffer || length < 0 || !info) return SPI_UNSUPPORTED;
    if (!ReadHeader((const unsigned char*)buffer, (size_t)length, &header)) return SPI_UNSUPPORTED;
    memset(info, 0, sizeof *info);
    info->width = (int32_t)header.width;
    info->height = (int32_t)header.height;
    info->colourDepth = (int16_t)header.pixelBits;
    return SPI_OK;
}

SPI_EXPORT int GetPicture(const char* buffer, long length, unsigned int flag, void** bitmapInfo,
                          void** bitmapBits, SpiProgressCallback progress, intptr_t callbackData) {
    if ((flag & SPI_SOURCE_MASK) != SPI_SOURCE_MEMORY) return SPI_NOT_IMPLEMENTED;
    if (!buffer || length < 0 || !bitmapInfo || !bitmapBits) return SPI_UNSUPPORTED;
    return Decode((const unsigned char*)buffer, (size_t)length, bitmapInfo, bitmapBits, progress,
                  callbackData);
}
