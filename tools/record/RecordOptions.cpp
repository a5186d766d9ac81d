// Command-line parsing of h452-record. See RecordOptions.h.
#include "RecordOptions.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace h452 {

const char* recordUsage()
{
    return "usage: h452-record [--resource RES] [--sample-rate RATE] [--duration S] [--size BYTES] [--output DIR]\n"
           "                   [--block-size BYTES] [--ring-memory BYTES] [--direct | --no-write-behind]\n"
           "Records the H452 board's continuous transfer into time-stamped .bin files with\n"
           "SigMF metadata beside them, until the duration or size is reached or Ctrl-C.\n"
           "  --resource RES     board resource string (default: the first board found)\n"
           "  --sample-rate RATE rate text such as 250MS/s (default: the board's current rate)\n"
           "  --duration S       seconds to record (a positive number)\n"
           "  --size BYTES       bytes to record (a positive whole number)\n"
           "  --output DIR       folder of the files (default: the working directory)\n"
           "  --block-size BYTES bytes per transfer and per write, a power of two from 4K to 16M\n"
           "                     (suffixes K, M: 64K, 1M; default 8K)\n"
           "  --ring-memory BYTES memory of the ring of blocks between board and disk (default 8M;\n"
           "                     it holds at least 4 blocks)\n"
           "  --direct           write straight from the ring to the disk, past the kernel's cache\n"
           "                     (half the CPU time; give it a ring that rides out the disk's pauses)\n"
           "  --no-write-behind  leave the files to the kernel's cache instead of keeping the disk\n"
           "                     writing behind the recording (at most 40 MiB waiting)\n"
           "Exit status: 0 nothing dropped, 3 blocks dropped, 2 bad arguments, 1 board or file error.\n";
}

std::string parseRecordOptions(int argc, const char* const* argv, RecordOptions& o)
{
    for (int i = 1; i < argc; ++i) {
        std::string name = argv[i];
        std::string value;
        const std::size_t eq = name.find('=');
        if (name == "--help" || name == "-h") {
            o.help = true;
            continue;
        }
        if (name == "--no-write-behind" || name == "--direct") {
            const auto chosen = name == "--direct" ? RecordOptions::Writes::Direct : RecordOptions::Writes::CacheOnly;
            if (o.writes != RecordOptions::Writes::Behind && o.writes != chosen)
                return "--direct and --no-write-behind are two different ways of writing: choose one";
            o.writes = chosen;
            continue;
        }
        if (eq != std::string::npos) {
            value = name.substr(eq + 1);
            name = name.substr(0, eq);
        } else if (name == "--resource" || name == "--sample-rate" || name == "--duration" || name == "--size"
                   || name == "--output" || name == "--block-size" || name == "--ring-memory") {
            if (i + 1 >= argc)
                return name + " needs a value";
            value = argv[++i];
        } else {
            return "unknown argument '" + name + "'";
        }
        if (name == "--resource") {
            o.resource = QString::fromLocal8Bit(value.c_str());
        } else if (name == "--sample-rate") {
            o.rate = QString::fromLocal8Bit(value.c_str());
        } else if (name == "--duration") {
            char* end = nullptr;
            errno = 0;
            const double d = std::strtod(value.c_str(), &end);
            if (value.empty() || *end != '\0' || errno != 0 || !std::isfinite(d) || d <= 0)
                return "--duration must be a positive number of seconds, not '" + value + "'";
            o.durationS = d;
        } else if (name == "--size") {
            char* end = nullptr;
            errno = 0;
            const long long s = std::strtoll(value.c_str(), &end, 10);
            if (value.empty() || *end != '\0' || errno != 0 || s <= 0)
                return "--size must be a positive whole number of bytes, not '" + value + "'";
            o.sizeBytes = s;
        } else if (name == "--output") {
            o.output = QString::fromLocal8Bit(value.c_str());
        } else if (name == "--block-size") {
            qint64 bytes = 0;
            if (!blocksize::parseBytes(QString::fromLocal8Bit(value.c_str()), &bytes))
                return "--block-size must be a size such as 8192, 64K or 1M, not '" + value + "'";
            const QString problem = blocksize::blockBytesProblem(bytes);
            if (!problem.isEmpty())
                return "--block-size '" + value + "' is " + problem.toStdString() + " (a power of two from 4K to 16M)";
            o.blockBytes = bytes;
        } else if (name == "--ring-memory") {
            qint64 bytes = 0;
            if (!blocksize::parseBytes(QString::fromLocal8Bit(value.c_str()), &bytes) || bytes > blocksize::kMaxRingBytes)
                return "--ring-memory must be a size such as 8M or 256M (at most 4G), not '" + value + "'";
            o.ringBytes = bytes;
        } else {
            return "unknown argument '" + name + "'";
        }
    }
    return {};
}

}  // namespace h452
