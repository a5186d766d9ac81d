// The block size of continuous transfer as the user gives it: a whole number
// of bytes with an optional binary suffix ("8192", "64K", "64KiB", "1M",
// "4MiB"; K, M and G are 1024, 1024^2 and 1024^3, case-insensitive, a
// trailing "B" allowed). Pure functions, no widgets: the settings dialog and
// h452-record both read sizes through them.
//
// The blocks the user may choose: powers of two from 4 KiB to 16 MiB. 8 KiB
// is the board's designed unit of transfer; larger blocks spread the
// per-block cost of a real bus (register round trips, the DMA call) over
// more bytes. The ring of blocks between stream and recorder keeps its
// memory (8 MiB unless chosen otherwise) by holding fewer of them.
#pragma once

#include <QString>
#include <QtGlobal>

namespace blocksize {

constexpr qint64 kDefaultBytes = 8192;
constexpr qint64 kMinBytes = 4096;
constexpr qint64 kMaxBytes = qint64(16) << 20;

// The ring's memory the user may choose: powers of two from 8 MiB (the
// default, which stays in the processor's caches) to 4 GiB. A stream above a
// GB/s wants 32 MiB or more to ride out the disk's short pauses.
constexpr qint64 kDefaultRingBytes = qint64(8) << 20;
constexpr qint64 kMaxRingBytes = qint64(4) << 30;

// Reads "<digits>[K|M|G][i][B]"; white space around it is ignored. false for
// anything else, for 0 and for sizes that overflow; *bytes untouched then.
bool parseBytes(const QString& text, qint64* bytes);

// Empty when `bytes` is a block size the user may choose, else why not
// ("not a power of two", "below 4 KiB", "above 16 MiB").
QString blockBytesProblem(qint64 bytes);

// "8 KiB", "64 KiB", "1 MiB": how a size is shown.
QString bytesText(qint64 bytes);

} // namespace blocksize
