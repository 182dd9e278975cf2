// What the fuzz targets share: taking fields from the fuzzer's bytes, and checking invariants.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

// A broken invariant ends the run, so the fuzzer keeps the input that broke it.
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)

namespace fuzz {

// Fields taken one after another from the front of the input; what is left over is the rest.
class Input {
public:
    Input(const std::uint8_t* data, std::size_t size)
        : rest_(reinterpret_cast<const char*>(data), size) {}

    std::uint8_t byte() {
        if (rest_.empty())
            return 0;
        const auto b = static_cast<std::uint8_t>(rest_.front());
        rest_.remove_prefix(1);
        return b;
    }

    // As many bytes as the next one (or, with two, the next two, little end first) says.
    std::string_view text(int lengthBytes = 1) {
        std::size_t length = byte();
        if (lengthBytes == 2)
            length |= std::size_t(byte()) << 8;
        const std::string_view taken = rest_.substr(0, length);
        rest_.remove_prefix(taken.size());
        return taken;
    }

    std::string_view rest() const { return rest_; }

private:
    std::string_view rest_;
};

} // namespace fuzz
