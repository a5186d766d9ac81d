// Command line of h452-record: parsing and validation, kept apart from main()
// so that the parser can be driven without a board (the fuzz targets call it
// exactly as main() does). Qt Core only.
#pragma once

#include "BlockSize.h"

#include <QString>
#include <QtGlobal>

#include <string>

namespace h452 {

struct RecordOptions {
    QString resource;                     // --resource: empty means the first board found
    QString rate;                         // --sample-rate: rate text, empty keeps the board's rate
    double durationS = 0;                 // --duration: 0 means no limit, else finite and > 0
    qint64 sizeBytes = 0;                 // --size: 0 means no limit, else > 0
    QString output = QStringLiteral(".");  // --output folder
    // --block-size: bytes per transfer and per write, a block size
    // blocksize::blockBytesProblem() accepts (a power of two, 4 KiB .. 16 MiB)
    qint64 blockBytes = blocksize::kDefaultBytes;
    // --ring-memory: bytes of the ring between board and disk, 1 .. 4 GiB
    qint64 ringBytes = blocksize::kDefaultRingBytes;
    // How the recorder writes (see Writer.h): by default through the cache
    // with the disk kept writing behind; --direct straight from the ring to
    // the disk; --no-write-behind through the kernel's cache alone.
    enum class Writes { Behind, Direct, CacheOnly };
    Writes writes = Writes::Behind;
    bool help = false;
};

// Usage text printed by --help.
const char* recordUsage();

// Parses argv[1 .. argc-1] (each a NUL-terminated string; argv[0] is not
// read) into options. Returns an empty string on success, else the one-line
// reason naming the bad argument; options may then be partly filled.
std::string parseRecordOptions(int argc, const char* const* argv, RecordOptions& options);

}  // namespace h452
