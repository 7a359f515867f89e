#include "archive/ZAExcept.h"

#include <gtest/gtest.h>

#include <string>

#include "archive/ZAConst.h"

namespace {

// An archiver stand-in: the exception reads only the component's name.
struct NamedByField {
    std::string Name;
};
struct NamedByFunction {
    std::string name;
    const std::string& Name() const { return name; }
};

TEST(ZAConstTest, MessageTableIsTheGoldenOne)
{
    const char* const golden[] = {
        "Unknown error",
        "Index out of bounds",
        "Invalid compression mode. Mode must be in [0-9] range",
        "Unexpected nil pointer",
        "Invalid size or check sum of file or unsupported compression format",
        "File name is blank. Specify appropriate file name",
        "File \"%s\" not found",
        "Archive is not open",
        "SFXStub property is not specified",
        "Cannot create file \"%s\"",
        "Cannot create directory \"%s\"",
        "Internal error. Update is not started",
        "Cannot open file \"%s\"",
        "Cannot proceed when update is not ended. Preceding EndUpdate call is required.",
        "Cannot delete file \"%s\"",
        "In-memory archive can be created only",
        "File is open in read-only mode",
        "Invalid compressed size, rfs.size = %d, count = %d",
        "Invalid archive file.",
        "Cannot create output file. Probably file is locked by another process. FileName = '%s'.",
        "Archive is open. You should close it beore performing this operation.",
        "Unable to create directory",
        "Cannot find Zip64 directory end record",
        "Cannot compress file '%s'. Zip64 mode is not enabled",
        "Cannot open archive file. Opening aborted or invalid file",
        "Write to stream error",
        "Cannot place SFX stub on volume. Volume size limit is too small",
        "Archive is damaged. Open failed",
        "MakeSFX is not allowed for splitted or spanned archives. Set SFXStub before archive creation "
        "instead of MakeSFX",
        "Archive already has SFX stub",
        "Multi-volume archive is not allowed for custom stream",
        "Multi-spanned archive is not allowed for modification. Use BeginUpdate/EndUpdate methods to "
        "add files several times",
        "Deflate64 compression method is not supported",
        "MakeSFX error",
        "Hashed list of file names is invalid",
        "", "", "", "", "", "",
    };
    ASSERT_EQ(std::size(golden), ErrorMessageTable.size());
    for (size_t i = 0; i < ErrorMessageTable.size(); ++i)
        EXPECT_EQ(ErrorMessageTable[i], golden[i]) << "slot " << i;
}

TEST(ZAConstTest, NativeErrorMapIsTheGoldenOne)
{
    const int golden[61] = {0,  1,  1,  1,  1,  2,  3,  1,  4,  5,  5,  6,  6,  7,  7,  6,  1,  8,  6,  9,  10,
                            1,  11, 9,  1,  11, 13, 14, 15, 5,  6,  6,  16, 12, 17, 18, 19, 20, 6,  21, 22,
                            23, 6,  23, 24, 24, 25, 26, 27, 28, 29, 30, 31, 6,  6,  32, 33, 27, 33, 33, -1};
    for (int code = 0; code < ZANativeErrorCount; ++code) {
        EXPECT_EQ(NativeErrorMap[code].NativeCode, code);
        EXPECT_EQ(NativeErrorMap[code].MessageIndex, golden[code]) << "native code " << code;
    }
}

TEST(ZAConstTest, PromptResourceStrings)
{
    EXPECT_EQ(LoadZAResString(65126), "Overwrite file \"%s\" with \"%s\"");
    EXPECT_EQ(LoadZAResString(65127), "Password for \"%s\"");
    EXPECT_EQ(LoadZAResString(65128), "Enter password: ");
    EXPECT_EQ(LoadZAResString(65129), "Please insert a blank disk #%d");
    EXPECT_EQ(LoadZAResString(65130), "Please insert the first disk");
    EXPECT_EQ(LoadZAResString(65131), "Please insert the last disk");
    EXPECT_EQ(LoadZAResString(65132), "Please insert disk #%d");
    EXPECT_EQ(LoadZAResString(65133),
              "Disk is full. Required free space: %d bytes, but available only: %d bytes. Clean the disk "
              "or find another blank disk");
    EXPECT_EQ(LoadZAResString(65134), "%s. File processing error, possibly disk is full");
    EXPECT_EQ(LoadZAResString(65135),
              "File '%s' not found on inserted disk. Please insert last disk with required file");
    EXPECT_EQ(LoadZAResString(65125), "");
    EXPECT_EQ(LoadZAResString(65136), "");
}

TEST(EZAExceptionTest, FormatsWithComponentNameAndFiveDigits)
{
    const NamedByField archiver{"zip_archiver"};
    const EZAException e = EZAException::CreateWithCodeFmt(12, {"C:\\x\\updated.zip"}, &archiver);
    EXPECT_EQ(e.Message(), "zip_archiver: File \"C:\\x\\updated.zip\" not found - Native error: 00012");
    EXPECT_STREQ(e.what(), e.Message().c_str());
    EXPECT_EQ(e.NativeError, 12);
    EXPECT_EQ(e.ErrorCode, 6);
}

TEST(EZAExceptionTest, NoPrefixWithoutComponentOrName)
{
    EXPECT_EQ(EZAException::CreateWithCode(13).Message(), "Archive is not open - Native error: 00013");
    EXPECT_EQ(EZAException::CreateWithCode(13, nullptr).Message(), "Archive is not open - Native error: 00013");
    const NamedByFunction unnamed{""};
    EXPECT_EQ(EZAException::CreateWithCode(13, &unnamed).Message(), "Archive is not open - Native error: 00013");
    const NamedByFunction named{"arc"};
    EXPECT_EQ(EZAException::CreateWithCode(13, &named).Message(), "arc: Archive is not open - Native error: 00013");
    const NamedByField* none = nullptr;
    EXPECT_EQ(EZAException::CreateWithCode(9, none).Message(),
              "File name is blank. Specify appropriate file name - Native error: 00009");
}

TEST(EZAExceptionTest, CodesShowTheirMappedMessages)
{
    EXPECT_EQ(EZAException::CreateWithCode(58).Message(), "MakeSFX error - Native error: 00058");
    EXPECT_EQ(EZAException::CreateWithCode(59).ErrorCode, 33);
    EXPECT_EQ(EZAException::CreateWithCode(7).Message(), "Index out of bounds - Native error: 00007");
    EXPECT_EQ(EZAException::CreateWithCode(6).Message(), "Unexpected nil pointer - Native error: 00006");
    EXPECT_EQ(EZAException::CreateWithCodeFmt(34, {int64_t(5000000000), 7}).Message(),
              "Invalid compressed size, rfs.size = 5000000000, count = 7 - Native error: 00034");
}

TEST(EZAExceptionTest, CodesOutsideTheMap)
{
    const EZAException big = EZAException::CreateWithCode(123456);
    EXPECT_EQ(big.Message(), "Unknown error - Native error: 123456");
    EXPECT_EQ(big.ErrorCode, 0);
    EXPECT_EQ(big.NativeError, 123456);
    EXPECT_EQ(EZAException::CreateWithCode(-1).Message(), "Unknown error - Native error: 000-1");
    // Native code 60 maps to index -1, which names no message: it shows message 0.
    const EZAException sixty = EZAException::CreateWithCode(60);
    EXPECT_EQ(sixty.ErrorCode, -1);
    EXPECT_EQ(sixty.Message(), "Unknown error - Native error: 00060");
}

TEST(EZAExceptionTest, PlainConstructorDoesNotFormat)
{
    EXPECT_EQ(EZAException::CreateWithCode(12).Message(), "File \"%s\" not found - Native error: 00012");
    // Arguments that do not fit leave the text unformatted rather than losing the error.
    EXPECT_EQ(EZAException::CreateWithCodeFmt(12, {}).Message(), "File \"%s\" not found - Native error: 00012");
}

TEST(EZAExceptionTest, IsCaughtAsRunTimeException)
{
    try {
        throw EZAException::CreateWithCode(48);
    } catch (const rtl::Exception& e) {
        EXPECT_EQ(e.Message(), "Archive is damaged. Open failed - Native error: 00048");
    }
}

TEST(ZlibErrorTest, MessageAndHierarchy)
{
    try {
        throw EDecompressionError();
    } catch (const EZlibError& e) {
        EXPECT_EQ(e.Message(), "error");
    }
    try {
        throw ECompressionError("error");
    } catch (const rtl::Exception& e) {
        EXPECT_NE(dynamic_cast<const EZlibError*>(&e), nullptr);
    }
}

}  // namespace
