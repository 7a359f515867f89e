// zip_extract_raw ARCHIVE DIR: extracts a plain single-file ZIP archive (stored and deflated
// entries, no encryption, no ZIP64) with nothing but zlib: inflate, CRC-32 and write, one thread.
// It does none of the checks or events of the archive library; it only marks the speed limit.
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr size_t kIn = 1 << 20;
constexpr size_t kOut = 256 << 10;

uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t U32(const uint8_t* p) { return U16(p) | (static_cast<uint32_t>(U16(p + 2)) << 16); }

struct TEntry {
    std::string Name;
    uint16_t Method;
    uint32_t Crc, CSize, USize, Offset;
};

class TFile {
public:
    TFile(const std::string& name, const char* mode) : f_(std::fopen(name.c_str(), mode))
    {
        if (!f_)
            throw std::runtime_error("cannot open " + name);
    }
    ~TFile() { std::fclose(f_); }
    TFile(const TFile&) = delete;
    TFile& operator=(const TFile&) = delete;
    FILE* Get() { return f_; }

private:
    FILE* f_;
};

void ReadAt(FILE* f, int64_t pos, void* buf, size_t n)
{
    if (fseeko(f, pos, SEEK_SET) != 0 || std::fread(buf, 1, n, f) != n)
        throw std::runtime_error("short read");
}

std::vector<TEntry> ReadDirectory(FILE* f)
{
    fseeko(f, 0, SEEK_END);
    const int64_t size = ftello(f);
    const int64_t tail = std::min<int64_t>(size, 65557);
    std::vector<uint8_t> buf(static_cast<size_t>(tail));
    ReadAt(f, size - tail, buf.data(), buf.size());
    int64_t end = -1;
    for (int64_t i = tail - 22; i >= 0; --i)
        if (U32(&buf[static_cast<size_t>(i)]) == 0x06054B50) {
            end = i;
            break;
        }
    if (end < 0)
        throw std::runtime_error("no end record");
    const uint8_t* e = &buf[static_cast<size_t>(end)];
    std::vector<uint8_t> dir(U32(e + 12));
    ReadAt(f, U32(e + 16), dir.data(), dir.size());
    std::vector<TEntry> entries;
    for (size_t p = 0; p + 46 <= dir.size() && U32(&dir[p]) == 0x02014B50;) {
        const uint8_t* h = &dir[p];
        entries.push_back({std::string(reinterpret_cast<const char*>(h + 46), U16(h + 28)), U16(h + 10),
                           U32(h + 16), U32(h + 20), U32(h + 24), U32(h + 42)});
        p += 46u + U16(h + 28) + U16(h + 30) + U16(h + 32);
    }
    return entries;
}

void Extract(FILE* archive, const TEntry& e, const std::filesystem::path& dir,
             std::vector<uint8_t>& in, std::vector<uint8_t>& out)
{
    const auto target = dir / e.Name;
    if (!e.Name.empty() && e.Name.back() == '/') {
        std::filesystem::create_directories(target);
        return;
    }
    std::filesystem::create_directories(target.parent_path());
    uint8_t local[30];
    ReadAt(archive, e.Offset, local, sizeof local);
    fseeko(archive, int64_t{e.Offset} + 30 + U16(local + 26) + U16(local + 28), SEEK_SET);
    TFile file(target.string(), "wb");
    z_stream z{};
    inflateInit2(&z, -MAX_WBITS);
    uLong crc = crc32(0, nullptr, 0);
    for (uint32_t left = e.CSize; left > 0;) {
        const size_t n = std::min<size_t>(left, kIn);
        if (std::fread(in.data(), 1, n, archive) != n)
            throw std::runtime_error("short read");
        left -= static_cast<uint32_t>(n);
        if (e.Method == 0) {
            crc = crc32(crc, in.data(), static_cast<uInt>(n));
            std::fwrite(in.data(), 1, n, file.Get());
            continue;
        }
        z.next_in = in.data();
        z.avail_in = static_cast<uInt>(n);
        do {
            z.next_out = out.data();
            z.avail_out = kOut;
            const int rc = inflate(&z, Z_NO_FLUSH);
            if (rc < 0 && rc != Z_BUF_ERROR)
                throw std::runtime_error("inflate " + e.Name);
            const size_t got = kOut - z.avail_out;
            crc = crc32(crc, out.data(), static_cast<uInt>(got));
            std::fwrite(out.data(), 1, got, file.Get());
            if (rc == Z_STREAM_END)
                break;
        } while (z.avail_out == 0);
    }
    inflateEnd(&z);
    if (crc != e.Crc)
        throw std::runtime_error("CRC " + e.Name);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: zip_extract_raw ARCHIVE DIR\n");
        return 1;
    }
    try {
        TFile archive(argv[1], "rb");
        std::vector<uint8_t> in(kIn), out(kOut);
        for (const TEntry& e : ReadDirectory(archive.Get()))
            Extract(archive.Get(), e, argv[2], in, out);
    } catch (const std::exception& ex) {
        std::fprintf(stderr, "%s\n", ex.what());
        return 1;
    }
    return 0;
}
