// Atomic file writing and CSV rows. See CsvFile.h.
#include "CsvFile.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace h452 {

AtomicFileWriter::~AtomicFileWriter()
{
    discard();
}

bool AtomicFileWriter::open(const std::string& path, std::string& error)
{
    discard();
    path_ = path;
    failed_ = false;
    errno_ = 0;
    // Same folder as the target, so the final rename never crosses a file
    // system and is atomic.
    std::string pattern = path + ".tmp-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = ::mkstemp(name.data());
    if (fd < 0) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    file_ = ::fdopen(fd, "wb");
    tempPath_ = name.data();
    if (!file_) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        ::close(fd);
        ::unlink(tempPath_.c_str());
        tempPath_.clear();
        return false;
    }
    return true;
}

bool AtomicFileWriter::write(const std::string& text)
{
    if (!file_ || failed_)
        return false;
    if (!text.empty() && std::fwrite(text.data(), 1, text.size(), file_) != text.size()) {
        failed_ = true;
        errno_ = errno;
    }
    return !failed_;
}

bool AtomicFileWriter::commit(std::string& error)
{
    if (!file_) {
        error = "cannot write " + path_ + ": not open";
        return false;
    }
    if (!failed_ && (std::fflush(file_) != 0 || ::fsync(::fileno(file_)) != 0)) {
        failed_ = true;
        errno_ = errno;
    }
    if (std::fclose(file_) != 0 && !failed_) {
        failed_ = true;
        errno_ = errno;
    }
    file_ = nullptr;
    if (!failed_ && std::rename(tempPath_.c_str(), path_.c_str()) != 0) {
        failed_ = true;
        errno_ = errno;
    }
    if (failed_) {
        error = "cannot write " + path_ + ": " + std::strerror(errno_ ? errno_ : EIO);
        ::unlink(tempPath_.c_str());
        tempPath_.clear();
        return false;
    }
    tempPath_.clear();
    return true;
}

void AtomicFileWriter::discard()
{
    if (file_) {
        std::fclose(file_);
        file_ = nullptr;
    }
    if (!tempPath_.empty()) {
        ::unlink(tempPath_.c_str());
        tempPath_.clear();
    }
}

bool writeFileAtomically(const std::string& path, const std::string& text, std::string& error)
{
    AtomicFileWriter writer;
    if (!writer.open(path, error))
        return false;
    writer.write(text);
    return writer.commit(error);
}

std::string csvNumber(double value)
{
    if (std::isnan(value))
        return "nan";
    if (std::isinf(value))
        return value > 0 ? "inf" : "-inf";
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.10g", value);
    return buffer;
}

void appendSpectrumCsvHeader(std::string& out)
{
    out += "record,channel,freq_hz,level_db\n";
}

void appendSpectrumCsvRows(std::string& out, long long record, int channel, const double* frequencyHz,
                           const double* levelDb, int binCount)
{
    if (!frequencyHz || !levelDb)
        return;
    const std::string prefix = std::to_string(record) + ',' + std::to_string(channel) + ',';
    for (int k = 0; k < binCount; ++k) {
        out += prefix;
        out += csvNumber(frequencyHz[k]);
        out += ',';
        out += csvNumber(levelDb[k]);
        out += '\n';
    }
}

std::vector<std::string> splitCsvLine(const std::string& line)
{
    std::vector<std::string> fields;
    std::size_t from = 0;
    while (true) {
        const std::size_t comma = line.find(',', from);
        fields.push_back(line.substr(from, comma == std::string::npos ? std::string::npos : comma - from));
        if (comma == std::string::npos)
            return fields;
        from = comma + 1;
    }
}

}  // namespace h452
