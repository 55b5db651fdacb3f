/*
 * Image import plug-ins for the player on Linux.
 *
 * A plug-in is a shared object named "*.spi" (any letter case) placed in the
 * player's own directory. The player loads every such file, in byte order of
 * the file names, when the first picture that it cannot decode itself comes
 * along, and keeps them until the game closes. Pictures are offered to the
 * plug-ins in that order; the first that accepts and decodes one wins.
 *
 * This header is plain C with no other dependency: copy it into a plug-in's
 * sources. Build the plug-in with -fPIC -shared -fvisibility=hidden, link it
 * dynamically against the system's C library, and export the entry points
 * below with SPI_EXPORT and their plain C names (no C++ mangling).
 *
 * Entry points (all with the C calling convention):
 *
 *   GetPluginInfo   required
 *   IsSupported     required
 *   GetPicture      required
 *   GetPictureInfo  optional; the player does not call it
 *
 * A plug-in that lacks a required entry point, or whose version text is not
 * "00IN", is not loaded.
 *
 * Threads: the player calls a plug-in from one thread only, never two calls at
 * once. Keep no state between calls beyond read-only tables.
 *
 * Limits: the player refuses pictures wider or taller than SPI_MAX_SIDE or with
 * more than SPI_MAX_PIXELS pixels; a plug-in should refuse them too, before it
 * allocates anything.
 */
#ifndef ORVANTA3_SPI_PLUGIN_H
#define ORVANTA3_SPI_PLUGIN_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define SPI_EXPORT __attribute__((visibility("default")))

#define SPI_MAX_SIDE 16384
#define SPI_MAX_PIXELS (1 << 26)

/* The version text of an import plug-in, GetPluginInfo number 0. */
#define SPI_IMPORT_VERSION "00IN"

/* IsSupported sees this many bytes: the start of the file, zero-padded when
 * the file is shorter. */
#define SPI_PROBE_BYTES 2048

/* Where the `buffer` argument of GetPicture and GetPictureInfo points, in the
 * low three bits of `flag`. The player always passes memory. */
#define SPI_SOURCE_MASK 7u
#define SPI_SOURCE_FILE 0u   /* a file name; `length` is the offset in it */
#define SPI_SOURCE_MEMORY 1u /* the file's bytes; `length` is their count */

/* Return codes of GetPicture and GetPictureInfo. Anything but SPI_OK is a
 * failure to the player, which then offers the picture to the next plug-in. */
#define SPI_NOT_IMPLEMENTED (-1) /* this entry point or source kind is not offered */
#define SPI_OK 0
#define SPI_ABORTED 1        /* the progress callback returned non-zero */
#define SPI_UNSUPPORTED 2    /* not a picture this plug-in decodes */
#define SPI_BROKEN 3         /* the picture is damaged or truncated */
#define SPI_NO_MEMORY 4      /* an allocation failed */
#define SPI_MEMORY_ERROR 5   /* a memory block could not be used */
#define SPI_READ_ERROR 6     /* a file could not be read */
#define SPI_INTERNAL_ERROR 8 /* a fault inside the plug-in */

/*
 * The first block GetPicture returns starts with this header, followed by the
 * colour table. It is the device-independent bitmap header of the BMP format:
 * packed, all fields little-endian (the native order of every machine the
 * player runs on).
 *
 *   size          bytes of this header: 40, or more for the later BMP header
 *                 versions; the colour table follows after `size` bytes
 *   width         pixels, 1 to SPI_MAX_SIDE
 *   height        rows: positive when the rows in the bits block run from the
 *                 bottom of the picture up (the BMP default), negative when they
 *                 run from the top down; 1 to SPI_MAX_SIDE either way
 *   planes        1
 *   bitCount      bits per pixel: 1, 4 or 8 (indices into the colour table),
 *                 24 (blue, green, red bytes) or 32 (blue, green, red and an
 *                 unused byte; the player ignores alpha)
 *   compression   0: plain pixels; anything else is refused
 *   sizeImage     ignored
 *   xPelsPerMeter ignored
 *   yPelsPerMeter ignored
 *   clrUsed       entries in the colour table; 0 means 2^bitCount. Only used
 *                 with 1, 4 and 8 bits per pixel; an index beyond the table
 *                 reads as black
 *   clrImportant  ignored
 */
#pragma pack(push, 1)
typedef struct SpiBitmapInfoHeader {
    uint32_t size;
    int32_t width;
    int32_t height;
    uint16_t planes;
    uint16_t bitCount;
    uint32_t compression;
    uint32_t sizeImage;
    int32_t xPelsPerMeter;
    int32_t yPelsPerMeter;
    uint32_t clrUsed;
    uint32_t clrImportant;
} SpiBitmapInfoHeader;

/* One colour table entry. */
typedef struct SpiRgbQuad {
    uint8_t blue;
    uint8_t green;
    uint8_t red;
    uint8_t reserved; /* 0 */
} SpiRgbQuad;
#pragma pack(pop)

/*
 * What GetPictureInfo tells without decoding.
 *
 *   left, top            where the picture wants to be drawn; usually 0
 *   width, height        pixels and rows, both positive
 *   xDensity, yDensity   pixels per inch; 0 when unknown
 *   colourDepth          bits per pixel in the file
 *   text                 the picture's comment, NUL-terminated, from malloc (the
 *                        caller frees it); NULL when there is none
 */
typedef struct SpiPictureInfo {
    int32_t left;
    int32_t top;
    int32_t width;
    int32_t height;
    uint16_t xDensity;
    uint16_t yDensity;
    int16_t colourDepth;
    char* text;
} SpiPictureInfo;

/*
 * GetPicture calls this while it decodes: `done` of `total` steps (rows,
 * say), from 0 up to total. `data` is GetPicture's `callbackData`, passed on
 * unchanged. A non-zero return asks the plug-in to stop: it frees what it
 * allocated and returns SPI_ABORTED. The callback may be NULL.
 */
typedef int (*SpiProgressCallback)(int done, int total, intptr_t data);

/*
 * GetPluginInfo: copies text number `infoNumber` into `buffer`, writing at most
 * `bufferLength` bytes including the terminating NUL (the player passes a
 * 256-byte buffer and 255), and returns the number of characters written
 * without the NUL; 0 for a number it does not know.
 *
 *   0        the version: "00IN" for an import plug-in
 *   1        a line about the plug-in (name, version, author)
 *   2n + 2   file patterns of format n, e.g. "*.tga" or "*.pic;*.pc"
 *   2n + 3   the name of format n, e.g. "TGA picture"
 *
 * Texts are ASCII or Shift_JIS.
 */
SPI_EXPORT int GetPluginInfo(int infoNumber, char* buffer, int bufferLength);

/*
 * IsSupported: non-zero when this plug-in decodes the picture whose first
 * SPI_PROBE_BYTES bytes are at `data`, 0 otherwise. `fileName` is the
 * picture's name when known; the player passes NULL, so decide by the bytes.
 * Do not read beyond SPI_PROBE_BYTES; the bytes past the end of a shorter file
 * are 0.
 */
SPI_EXPORT int IsSupported(const char* fileName, const void* data);

/*
 * GetPictureInfo: fills `info` for the picture in `buffer` (see SPI_SOURCE_*)
 * and returns SPI_OK, or a failure code.
 */
SPI_EXPORT int GetPictureInfo(const char* buffer, long length, unsigned int flag,
                              SpiPictureInfo* info);

/*
 * GetPicture: decodes the picture in `buffer` (see SPI_SOURCE_*; the player
 * passes the whole file in memory, `length` bytes, with SPI_SOURCE_MEMORY).
 *
 * On success it returns SPI_OK and stores two blocks:
 *
 *   *bitmapInfo  an SpiBitmapInfoHeader followed by its colour table
 *   *bitmapBits  the pixel rows, each padded to a multiple of 4 bytes:
 *                ((width * bitCount + 31) / 32) * 4 bytes per row, |height| rows
 *
 * Both blocks come from malloc (or calloc or realloc) of the C library the
 * player runs with, and belong to the player from then on: it frees them with
 * free(). The player measures them with malloc_usable_size() and refuses the
 * picture when the header and its colour table do not fit in the first block,
 * or the rows it describes do not fit in the second; so allocate at least the
 * bytes you describe, and never hand over memory from another allocator, a
 * static buffer or the middle of a block.
 *
 * On failure it returns a failure code, frees whatever it allocated, and
 * leaves the two pointers alone: the player ignores them.
 *
 * `progress` (may be NULL) is called with `callbackData` as its last argument.
 */
SPI_EXPORT int GetPicture(const char* buffer, long length, unsigned int flag, void** bitmapInfo,
                          void** bitmapBits, SpiProgressCallback progress, intptr_t callbackData);

/* The entry points as the player looks them up. */
typedef int (*SpiGetPluginInfoProc)(int infoNumber, char* buffer, int bufferLength);
typedef int (*SpiIsSupportedProc)(const char* fileName, const void* data);
typedef int (*SpiGetPictureInfoProc)(const char* buffer, long length, unsigned int flag,
                                     SpiPictureInfo* info);
typedef int (*SpiGetPictureProc)(const char* buffer, long length, unsigned int flag,
                                 void** bitmapInfo, void** bitmapBits, SpiProgressCallback progress,
                                 intptr_t callbackData);

#ifdef __cplusplus
}
#endif

#endif /* ORVANTA3_SPI_PLUGIN_H */
