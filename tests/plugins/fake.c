/*
 * A plug-in for the host's tests, built several ways (see CMakeLists.txt). It
 * accepts data that starts with "FAKE"; the next byte picks what GetPicture
 * hands back:
 *   'T'  a 1 x 2 picture stored top-down: FAKE_COLOUR above 0x123456
 *   'S'  a header claiming 64 rows over a bits block of one row
 *   'P'  an 8-bit header whose colour table runs past its block
 *   'N'  success without a bits block
 * FAKE_FAIL makes GetPicture fail, FAKE_VERSION replaces the version text, and
 * FAKE_WITHOUT_GET_PICTURE leaves GetPicture out.
 */
#include <stdlib.h>
#include <string.h>

#include "storage/spi_plugin.h"

#ifndef FAKE_VERSION
#define FAKE_VERSION SPI_IMPORT_VERSION
#endif
#ifndef FAKE_COLOUR
#define FAKE_COLOUR 0xFFFFFF
#endif

SPI_EXPORT int GetPluginInfo(int infoNumber, char* buffer, int bufferLength) {
    const char* text = infoNumber == 0 ? FAKE_VERSION : infoNumber == 2 ? "*.fake" : "fake";
    (void)bufferLength;
    strcpy(buffer, text);
    return (int)strlen(text);
}

SPI_EXPORT int IsSupported(const char* fileName, const void* data) {
    (void)fileName;
    return memcmp(data, "FAKE", 4) == 0;
}

#ifndef FAKE_WITHOUT_GET_PICTURE

static void* NewHeader(size_t blockSize, int32_t height, uint16_t bitCount) {
    SpiBitmapInfoHeader* info = calloc(1, blockSize);
    info->size = sizeof *info;
    info->width = 1;
    info->height = height;
    info->planes = 1;
    info->bitCount = bitCount;
    return info;
}

static unsigned char* NewRows(size_t rows) {
    return calloc(rows, 4);
}

static void PutPixel(unsigned char* row, unsigned long colour) {
    row[0] = colour & 0xFF;
    row[1] = (colour >> 8) & 0xFF;
    row[2] = (colour >> 16) & 0xFF;
}

SPI_EXPORT int GetPicture(const char* buffer, long length, unsigned int flag, void** bitmapInfo,
                          void** bitmapBits, SpiProgressCallback progress, intptr_t callbackData) {
    (void)flag;
    (void)progress;
    (void)callbackData;
#ifdef FAKE_FAIL
    return SPI_BROKEN;
#endif
    if (length < 5) return SPI_UNSUPPORTED;
    switch (buffer[4]) {
        case 'T':
            *bitmapInfo = NewHeader(sizeof(SpiBitmapInfoHeader), -2, 24);
            *bitmapBits = NewRows(2);
            PutPixel(*bitmapBits, FAKE_COLOUR);
            PutPixel((unsigned char*)*bitmapBits + 4, 0x123456);
            return SPI_OK;
        case 'S':
            *bitmapInfo = NewHeader(sizeof(SpiBitmapInfoHeader), 64, 24);
            *bitmapBits = NewRows(1);
            return SPI_OK;
        case 'P':
            *bitmapInfo = NewHeader(sizeof(SpiBitmapInfoHeader) + 16 * sizeof(SpiRgbQuad), 1, 8);
            *bitmapBits = NewRows(1);
            return SPI_OK;
        case 'N':
            *bitmapInfo = NewHeader(sizeof(SpiBitmapInfoHeader), 1, 24);
            *bitmapBits = NULL;
            return SPI_OK;
        default:
            return SPI_UNSUPPORTED;
    }
}

#endif
