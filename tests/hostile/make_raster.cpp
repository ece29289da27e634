// Writes a laser raster job of exactly the size asked for, fast enough to make a gigabyte
// in a few seconds: scan lines of 4000 pixels at 0.1 mm, alternating direction, the power
// of each pixel taken from a fixed pattern. Prints the number of moves it wrote, counted
// as the interpreter counts them (one per G0/G1 line that changes the position).
// Usage: make_raster OUT BYTES
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr int PixelsPerRow = 4000;     // 400 mm at 0.1 mm
constexpr int RowPitchHundredths = 2;  // 0.02 mm between scan lines
constexpr int OriginTenths = 100;      // the job starts at X 10 mm ...
constexpr int OriginHundredths = 1000; // ... Y 10 mm, so even its first travel moves
constexpr std::size_t BufferBytes = 1 << 22;
constexpr std::size_t LongestLine = 64; // no generated line is longer

class Writer {
public:
    explicit Writer(std::FILE* file) : file_(file), buffer_(BufferBytes, '\0') { }

    bool room(std::size_t bytes) const { return written_ + used_ + bytes <= limit_; }
    void setLimit(std::uint64_t limit) { limit_ = limit; }
    std::uint64_t total() const { return written_ + used_; }

    void put(const char* text)
    {
        const std::size_t n = std::strlen(text);
        std::memcpy(&buffer_[used_], text, n);
        used_ += n;
    }
    void put(char c) { buffer_[used_++] = c; }

    // A non-negative value given in units of 1/divisor, printed without trailing zeros.
    void putFixed(std::int64_t units, int divisor)
    {
        putInteger(units / divisor);
        std::int64_t fraction = units % divisor;
        if (fraction == 0)
            return;
        put('.');
        for (int d = divisor / 10; d > 0 && fraction != 0; d /= 10) {
            put(static_cast<char>('0' + fraction / d));
            fraction %= d;
        }
    }

    void putInteger(std::int64_t value)
    {
        char digits[24];
        int n = 0;
        do {
            digits[n++] = static_cast<char>('0' + value % 10);
            value /= 10;
        } while (value != 0);
        while (n > 0)
            put(digits[--n]);
    }

    void endLine()
    {
        put('\n');
        if (used_ + LongestLine > buffer_.size())
            flush();
    }

    bool flush()
    {
        if (used_ != 0 && std::fwrite(buffer_.data(), 1, used_, file_) != used_)
            return false;
        written_ += used_;
        used_ = 0;
        return true;
    }

private:
    std::FILE* file_;
    std::string buffer_;
    std::size_t used_ = 0;
    std::uint64_t written_ = 0;
    std::uint64_t limit_ = 0;
};

// A smooth pattern of rings, so the drawing shows shading and not noise.
int powerAt(int column, std::int64_t row)
{
    const std::int64_t dx = column - PixelsPerRow / 2;
    const std::int64_t dy = row / 5 - PixelsPerRow / 2;
    const std::int64_t r = (dx * dx + dy * dy) / 4096;
    return static_cast<int>((r * 37) % 1001);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fputs("usage: make_raster OUT BYTES\n", stderr);
        return 2;
    }
    const long long target = std::atoll(argv[2]);
    if (target < 200) {
        std::fputs("make_raster: BYTES must be at least 200\n", stderr);
        return 2;
    }
    std::FILE* file = std::fopen(argv[1], "wb");
    if (file == nullptr) {
        std::perror("make_raster");
        return 1;
    }
    Writer out(file);
    // Every line must leave room for the closing padding line.
    out.setLimit(static_cast<std::uint64_t>(target) - LongestLine);

    out.put("; Generated laser raster, 400 mm wide, 0.1 mm pixels, 0.02 mm scan lines");
    out.endLine();
    out.put("G21 G90");
    out.endLine();
    out.put("M4 S0");
    out.endLine();

    std::uint64_t moves = 0;
    bool more = true;
    for (std::int64_t row = 0; more; ++row) {
        const bool forward = row % 2 == 0;
        // Travel to the start of the scan line.
        if (!out.room(LongestLine))
            break;
        out.put("G0 X");
        out.putFixed(OriginTenths + (forward ? 0 : PixelsPerRow), 10);
        out.put(" Y");
        out.putFixed(OriginHundredths + row * RowPitchHundredths, 100);
        out.endLine();
        ++moves;
        for (int i = 1; i <= PixelsPerRow; ++i) {
            if (!out.room(LongestLine)) {
                more = false;
                break;
            }
            const int column = forward ? i : PixelsPerRow - i;
            out.put("G1 X");
            out.putFixed(OriginTenths + column, 10);
            out.put(" S");
            out.putInteger(powerAt(column, row));
            if (i == 1)
                out.put(" F6000");
            out.endLine();
            ++moves;
        }
    }
    // Pad with one comment line to the exact size.
    if (!out.flush()) {
        std::perror("make_raster");
        return 1;
    }
    const std::uint64_t rest = static_cast<std::uint64_t>(target) - out.total();
    out.put(';');
    for (std::uint64_t i = 2; i < rest; ++i)
        out.put(' ');
    out.endLine();
    if (!out.flush() || std::fclose(file) != 0) {
        std::perror("make_raster");
        return 1;
    }
    std::printf("%llu\n", static_cast<unsigned long long>(moves));
    return 0;
}
