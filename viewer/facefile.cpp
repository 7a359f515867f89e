#include "viewer/facefile.h"

#include <memory>

#include "platform/forms/bitmap.h"
#include "platform/forms/bmp.h"
#include "platform/rtl/sysutils.h"

namespace viewer {

namespace {

// Reads entries one field at a time; every length is checked against what is left.
class TFaceReader {
public:
    explicit TFaceReader(std::string_view file) : FFile(file), FPos(kFacePrefixSize) {}

    bool AtEnd() const { return FPos >= FFile.size(); }

    // The decimal length before "|", no larger than the bytes that follow it.
    size_t ReadLength(const char* what) {
        size_t value = 0;
        size_t digits = 0;
        while (FPos < FFile.size() && FFile[FPos] != '|') {
            const char c = FFile[FPos];
            if (c < '0' || c > '9') Damaged(std::string(what) + " length is not a number");
            // Past the file's size the value can be no valid length; stop before it can overflow.
            value = value * 10 + size_t(c - '0');
            if (value > FFile.size()) Damaged(std::string(what) + " length exceeds the file");
            ++digits;
            ++FPos;
        }
        if (FPos >= FFile.size()) Damaged(std::string(what) + " length has no \"|\"");
        if (digits == 0) Damaged(std::string(what) + " length is empty");
        ++FPos;  // the "|"
        if (value > FFile.size() - FPos) Damaged(std::string(what) + " runs past the end of the file");
        return value;
    }

    std::string_view Take(size_t count) {
        std::string_view piece = FFile.substr(FPos, count);
        FPos += count;
        return piece;
    }

private:
    [[noreturn]] void Damaged(const std::string& why) const {
        throw EFaceFileError("face.dat at byte " + rtl::IntToStr(int64_t(FPos)) + ": " + why);
    }

    std::string_view FFile;
    size_t FPos;
};

}  // namespace

bool IsBitmapEntryName(std::string_view name) { return name.find("bmp") != std::string_view::npos; }

void ReadFaceFile(std::string_view file, TKorImages& into) {
    if (file.size() < kFacePrefixSize) throw EFaceFileError("face.dat is shorter than its prefix");
    TFaceReader reader(file);
    while (!reader.AtEnd()) {
        const size_t nameLength = reader.ReadLength("name");
        into.push_back(TKorImage{std::string(reader.Take(nameLength)), nullptr});
        TKorImage& entry = into.back();
        const size_t dataLength = reader.ReadLength("data");
        const std::string_view data = reader.Take(dataLength);
        if (IsBitmapEntryName(entry.Name)) {
            auto bitmap = std::make_shared<forms::TBitmap>();
            forms::DecodeBmp(data, *bitmap);
            entry.Picture = std::move(bitmap);
        }
    }
}

std::string WriteFaceFile(const std::vector<TFaceEntry>& entries, char filler) {
    std::string out(kFacePrefixSize, filler);
    for (const TFaceEntry& entry : entries) {
        out += rtl::IntToStr(int64_t(entry.Name.size()));
        out += '|';
        out += entry.Name;
        out += rtl::IntToStr(int64_t(entry.Data.size()));
        out += '|';
        out += entry.Data;
    }
    return out;
}

}  // namespace viewer
