#pragma once

#include <QByteArray>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

// A property that must hold for every input: a failure aborts, so libFuzzer keeps the input.
#define FUZZ_CHECK(condition)                                                                     \
    do {                                                                                          \
        if (!(condition)) {                                                                       \
            std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                         \
        }                                                                                         \
    } while (false)

// Reads the fuzzer's bytes as a sequence of small decisions; past the end everything is zero.
class FuzzInput
{
public:
    FuzzInput(const std::uint8_t *data, std::size_t size) : data(data), size(size) {}

    bool empty() const { return pos >= size; }
    std::size_t remaining() const { return size - pos; }

    std::uint8_t byte() { return pos < size ? data[pos++] : 0; }
    std::uint16_t word() { return std::uint16_t(byte() | (byte() << 8)); }
    std::uint32_t u32() { return std::uint32_t(word()) | (std::uint32_t(word()) << 16); }

    QByteArray bytes(std::size_t count)
    {
        count = std::min(count, remaining());
        QByteArray out(reinterpret_cast<const char *>(data + pos), qsizetype(count));
        pos += count;
        return out;
    }
    QByteArray rest() { return bytes(remaining()); }

private:
    const std::uint8_t *data;
    std::size_t size;
    std::size_t pos = 0;
};

inline const std::uint8_t *asBytes(const QByteArray &bytes)
{
    return reinterpret_cast<const std::uint8_t *>(bytes.constData());
}
