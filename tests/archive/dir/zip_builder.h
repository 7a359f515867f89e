// Builds small ZIP archives in memory for the directory tests: stored entries, optional data
// descriptors, ZIP64 records, a stub in front and an archive comment.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct TestEntry {
    TestEntry(std::string name_, std::string data_ = "", bool descriptor_ = false, bool zip64_ = false,
              uint32_t attributes_ = 0x20)
        : name(std::move(name_)), data(std::move(data_)), descriptor(descriptor_), zip64(zip64_),
          attributes(attributes_)
    {
    }
    std::string name;
    std::string data;
    bool descriptor = false;    // sizes and CRC in a data descriptor after the data
    bool zip64 = false;         // central sizes and offset in a ZIP64 extra block
    uint32_t attributes = 0x20;
    uint16_t flags = 0;
    uint16_t madeBy = 20;       // "version made by": host in the high byte (0 MS-DOS, 3 Unix)
    std::string centralExtra;   // raw extra field appended in the central header
};

struct TestZipOptions {
    TestZipOptions(std::string stub_ = "", bool fromFile = false, std::string comment_ = "", bool zip64 = false)
        : stub(std::move(stub_)), offsetsCountFromFile(fromFile), comment(std::move(comment_)), zip64Records(zip64)
    {
    }
    std::string stub;                  // data in front of the archive
    bool offsetsCountFromFile = false;  // offsets include the stub (as after zip -A)
    std::string comment;
    bool zip64Records = false;  // ZIP64 end record and locator, 0xFFFF / 0xFFFFFFFF in the end record
};

struct TestZip {
    std::string bytes;
    std::vector<int64_t> localOffsets;  // from the start of the bytes
    int64_t directoryStart = 0;
    int64_t directorySize = 0;
    int64_t endRecordAt = 0;
    int64_t zip64EndAt = -1;
    int64_t locatorAt = -1;
};

TestZip BuildZip(const std::vector<TestEntry>& entries, const TestZipOptions& options = {});

// Little-endian patching of built archives.
void Put16(std::string& bytes, int64_t at, uint16_t v);
void Put32(std::string& bytes, int64_t at, uint32_t v);
void Put64(std::string& bytes, int64_t at, uint64_t v);
uint32_t Crc(const std::string& data);
