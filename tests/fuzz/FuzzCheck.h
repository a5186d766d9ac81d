// FUZZ_CHECK: the fuzz targets' assertion. A property that does not hold
// aborts, which libFuzzer reports like a crash and saves the input.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#define FUZZ_CHECK(cond)                                                                       \
    do {                                                                                       \
        if (!(cond)) {                                                                         \
            std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, #cond);   \
            std::abort();                                                                      \
        }                                                                                      \
    } while (0)

namespace fuzz {

// The input split at NUL bytes into at most maxArgs arguments behind argv[0]
// (an empty piece is an empty argument), as a shell would pass them.
class ArgumentList {
public:
    ArgumentList(const unsigned char* data, std::size_t size, const char* argv0, std::size_t maxArgs)
        : args{argv0}
    {
        std::string piece;
        for (std::size_t i = 0; i < size && args.size() <= maxArgs; ++i) {
            if (data[i] == 0) {
                args.push_back(piece);
                piece.clear();
            } else {
                piece.push_back(char(data[i]));
            }
        }
        if (!piece.empty() && args.size() <= maxArgs)
            args.push_back(piece);
        for (const std::string& a : args)
            pointers.push_back(a.c_str());
    }
    int argc() const { return int(pointers.size()); }
    const char* const* argv() const { return pointers.data(); }

private:
    std::vector<std::string> args;
    std::vector<const char*> pointers;
};

} // namespace fuzz
