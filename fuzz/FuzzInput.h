#pragma once
// Reads choices from a fuzzer's input bytes: numbers from the front, the
// rest as raw bytes. Past the end every read gives zero, so every input is a
// complete (if short) case.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace tarko::fuzz {

// A broken promise of the code under test: report it and end like a crash,
// so the fuzzer keeps the input.
inline void Require(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "broken: %s\n", what);
        std::abort();
    }
}

class FuzzInput {
public:
    FuzzInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    bool Empty() const { return pos_ >= size_; }
    uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    // 0 .. n-1 (n > 0).
    unsigned Below(unsigned n) { return n <= 256 ? Byte() % n : (Byte() | unsigned(Byte()) << 8) % n; }
    bool Flag() { return Byte() & 1; }
    // Up to maxLength raw bytes, the length taken from the input first.
    std::string Bytes(size_t maxLength)
    {
        size_t length = Below(unsigned(maxLength) + 1);
        if (length > size_ - std::min(pos_, size_))
            length = size_ - std::min(pos_, size_);
        std::string s(reinterpret_cast<const char*>(data_ + pos_), length);
        pos_ += length;
        return s;
    }
    std::string Rest()
    {
        std::string s;
        if (pos_ < size_)
            s.assign(reinterpret_cast<const char*>(data_ + pos_), size_ - pos_);
        pos_ = size_;
        return s;
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

} // namespace tarko::fuzz
