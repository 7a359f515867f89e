#include "platform/rtl/streams.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/rtl/codepage.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/textfile.h"

namespace {

namespace fs = std::filesystem;
using namespace rtl;

class StreamTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string tmpl = (fs::temp_directory_path() / "rtlstream-XXXXXX").string();
        ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
        dir_ = tmpl;
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string Path(const std::string& name) const { return dir_ + "\\" + name; }

    std::string dir_;
};

std::string Pattern(size_t size) {
    std::string s(size, '\0');
    for (size_t i = 0; i < size; ++i) s[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    return s;
}

std::string ReadAll(TStream& s) {
    std::string out(static_cast<size_t>(s.Size() - s.Position()), '\0');
    s.ReadBuffer(out.data(), static_cast<int64_t>(out.size()));
    return out;
}

TEST_F(StreamTest, FileCreateWriteReadBack) {
    {
        TFileStream f(Path("a.bin"), fmCreate);
        EXPECT_EQ(f.FileName(), Path("a.bin"));
        f.WriteBuffer("hello world", 11);
        EXPECT_EQ(f.Size(), 11);
        EXPECT_EQ(f.Position(), 11);
        f.Flush();
    }
    TFileStream f(Path("a.bin"), fmOpenRead | fmShareDenyNone);
    char buf[16] = {};
    EXPECT_EQ(f.Read(buf, 5), 5);
    EXPECT_EQ(std::string(buf, 5), "hello");
    EXPECT_EQ(f.Seek(-5, soEnd), 6);
    EXPECT_EQ(f.Read(buf, 16), 5);  // short read reports what was there
    EXPECT_EQ(std::string(buf, 5), "world");
    EXPECT_EQ(f.Read(buf, 16), 0);
    EXPECT_EQ(f.Read(buf, 0), 0);
    EXPECT_EQ(f.Read(buf, -1), 0);
}

// Positioned reads serve readers that keep their own offsets: the file stream's position stays.
TEST_F(StreamTest, ReadAtLeavesTheFilePositionAlone) {
    WriteFileBytes(Path("at.bin"), "hello world");
    TFileStream f(Path("at.bin"), fmOpenRead);
    f.SetPosition(2);
    char buf[16] = {};
    EXPECT_EQ(f.ReadAt(buf, 5, 6), 5);
    EXPECT_EQ(std::string(buf, 5), "world");
    EXPECT_EQ(f.ReadAt(buf, 16, 9), 2);  // short at the end
    EXPECT_EQ(f.ReadAt(buf, 4, 11), 0);
    EXPECT_EQ(f.ReadAt(buf, 4, 1000), 0);
    EXPECT_THROW(f.ReadAt(buf, 4, -1), EStreamError);
    EXPECT_EQ(f.Position(), 2);

    TMemoryStream m;
    m.WriteBuffer("abcdef", 6);
    EXPECT_EQ(m.ReadAt(buf, 3, 2), 3);
    EXPECT_EQ(std::string(buf, 3), "cde");
}

TEST_F(StreamTest, FileModes) {
    WriteFileBytes(Path("m.bin"), "abcdef");
    {
        TFileStream f(Path("m.bin"), fmOpenReadWrite | fmShareExclusive);
        f.SetPosition(2);
        f.WriteBuffer("XY", 2);
        f.SetPosition(0);
        EXPECT_EQ(ReadAll(f), "abXYef");
    }
    {
        TFileStream f(Path("m.bin"), fmOpenWrite | fmShareDenyWrite);
        f.WriteBuffer("Z", 1);
        char c;
        EXPECT_THROW(f.Read(&c, 1), EReadError);
    }
    {
        TFileStream f(Path("m.bin"), fmOpenRead);
        EXPECT_THROW(f.WriteBuffer("Q", 1), EWriteError);
        EXPECT_EQ(ReadAll(f), "ZbXYef");
    }
    {
        TFileStream f(Path("m.bin"), fmCreate);  // truncates
        EXPECT_EQ(f.Size(), 0);
    }
}

TEST_F(StreamTest, OpenAndCreateFailuresNameTheFile) {
    try {
        TFileStream f(Path("missing.bin"), fmOpenRead);
        FAIL();
    } catch (const EFOpenError& e) {
        // The class library's words, the path as the platform writes it, and the platform's own text.
        EXPECT_EQ(e.Message(), "Cannot open file \"" + Path("missing.bin") + "\". " + Ru("Не удается найти указанный файл."));
    }
    try {
        TFileStream f(Path("no\\folder\\x.bin"), fmCreate);
        FAIL();
    } catch (const EFCreateError& e) {
        EXPECT_NE(e.Message().find("Cannot create file"), std::string::npos);
        EXPECT_NE(e.Message().find("x.bin"), std::string::npos);
    }
    fs::create_directory(dir_ + "/sub");
    EXPECT_THROW(TFileStream(Path("sub"), fmOpenRead), EFOpenError);
    WriteFileBytes(Path("e.bin"), "");
    EXPECT_THROW(TFileStream(Path("e.bin"), 3), EFOpenError);
}

TEST_F(StreamTest, ReadBufferRaisesOnShortRead) {
    WriteFileBytes(Path("s.bin"), "abc");
    TFileStream f(Path("s.bin"), fmOpenRead);
    char buf[4];
    EXPECT_THROW(f.ReadBuffer(buf, 4), EReadError);
    f.SetPosition(0);
    f.ReadBuffer(buf, 3);
    f.ReadBuffer(buf, 0);
    EXPECT_THROW(f.ReadBuffer(buf, -1), EReadError);

    TMemoryStream m;
    m.WriteBuffer("ab", 2);
    m.SetPosition(1);
    EXPECT_THROW(m.ReadBuffer(buf, 2), EReadError);
}

TEST_F(StreamTest, SeekRules) {
    TFileStream f(Path("seek.bin"), fmCreate);
    f.WriteBuffer("abc", 3);
    EXPECT_THROW(f.Seek(-4, soCurrent), EStreamError);
    EXPECT_THROW(f.Seek(-1, soBeginning), EStreamError);
    EXPECT_EQ(f.Seek(10, soBeginning), 10);  // past the end is allowed
    f.WriteBuffer("z", 1);
    EXPECT_EQ(f.Size(), 11);
    f.SetPosition(0);
    EXPECT_EQ(ReadAll(f), std::string("abc\0\0\0\0\0\0\0z", 11));

    TMemoryStream m;
    m.WriteBuffer("abc", 3);
    EXPECT_THROW(m.Seek(-4, soEnd), EStreamError);
    EXPECT_THROW(m.Seek(INT64_MAX, soEnd), EStreamError);
    EXPECT_EQ(m.Position(), 3);
    EXPECT_EQ(m.Seek(5, soBeginning), 5);
    char c;
    EXPECT_EQ(m.Read(&c, 1), 0);
    m.WriteBuffer("z", 1);
    EXPECT_EQ(std::string(m.Memory(), static_cast<size_t>(m.Size())), std::string("abc\0\0z", 6));
}

TEST_F(StreamTest, SixtyFourBitPositionsOnASparseFile) {
    const int64_t big = (int64_t{5} << 30) + 3;  // beyond every 32-bit offset
    TFileStream f(Path("sparse.bin"), fmCreate);
    f.SetSize(big);
    EXPECT_EQ(f.Size(), big);
    EXPECT_EQ(f.Position(), big);
    EXPECT_EQ(f.Seek(-4, soEnd), big - 4);
    f.WriteBuffer("TAIL", 4);
    EXPECT_EQ(f.Size(), big);
    EXPECT_EQ(f.Seek(big - 4, soBeginning), big - 4);
    char buf[4];
    f.ReadBuffer(buf, 4);
    EXPECT_EQ(std::string(buf, 4), "TAIL");
    f.SetSize(10);
    EXPECT_EQ(f.Size(), 10);
    EXPECT_THROW(f.SetSize(-1), EStreamError);
}

TEST_F(StreamTest, MemoryStreamGrowsAndShrinks) {
    TMemoryStream m;
    const std::string data = Pattern(300000);
    for (char c : data) m.WriteBuffer(&c, 1);
    ASSERT_EQ(m.Size(), 300000);
    EXPECT_EQ(std::string(m.Memory(), data.size()), data);
    m.SetSize(10);
    EXPECT_EQ(m.Position(), 10);  // clamped to the new end
    m.SetSize(20);
    EXPECT_EQ(std::string(m.Memory() + 10, 10), std::string(10, '\0'));
    EXPECT_THROW(m.SetSize(-1), EStreamError);
    EXPECT_THROW(m.SetSize(INT64_MAX), EOutOfMemory);
    m.Clear();
    EXPECT_EQ(m.Size(), 0);
    EXPECT_EQ(m.Position(), 0);
}

TEST_F(StreamTest, MemoryStreamFilesAndStreams) {
    const std::string data = Pattern(70000);
    WriteFileBytes(Path("in.bin"), data);
    TMemoryStream m;
    m.LoadFromFile(Path("in.bin"));
    EXPECT_EQ(m.Position(), 0);
    EXPECT_EQ(std::string(m.Memory(), data.size()), data);
    m.SaveToFile(Path("out.bin"));
    EXPECT_EQ(ReadFileBytes(Path("out.bin")), data);
    EXPECT_THROW(m.LoadFromFile(Path("none.bin")), EFOpenError);

    TStringStream text("prefix:");
    text.Seek(0, soEnd);
    m.SetPosition(5);
    m.SaveToStream(text);  // all bytes whatever the position
    EXPECT_EQ(text.DataString(), "prefix:" + data);

    TMemoryStream copy;
    text.SetPosition(3);
    copy.LoadFromStream(text);  // from the start of the source
    EXPECT_EQ(std::string(copy.Memory(), static_cast<size_t>(copy.Size())), "prefix:" + data);
}

TEST_F(StreamTest, CopyFrom) {
    const std::string data = Pattern(3 * 1024 * 1024 + 17);  // several buffer loads
    TStringStream source(data);
    source.SetPosition(1000);
    TFileStream dest(Path("copy.bin"), fmCreate);
    EXPECT_EQ(dest.CopyFrom(source, 0), static_cast<int64_t>(data.size()));  // 0 = whole source
    EXPECT_EQ(ReadFileBytes(Path("copy.bin")), data);

    source.SetPosition(10);
    TMemoryStream part;
    EXPECT_EQ(part.CopyFrom(source, 5), 5);
    EXPECT_EQ(std::string(part.Memory(), 5), data.substr(10, 5));
    EXPECT_EQ(source.Position(), 15);

    source.Seek(-3, soEnd);
    EXPECT_THROW(part.CopyFrom(source, 4), EReadError);
    EXPECT_THROW(part.CopyFrom(source, -1), EStreamError);

    TMemoryStream empty, sink;
    EXPECT_EQ(sink.CopyFrom(empty, 0), 0);
}

}  // namespace
