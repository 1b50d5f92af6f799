#pragma once

#include <cstdio>
#include <span>
#include <string>
#include <string_view>

// A CSV output file of numbers, each written with 17 significant digits so
// that it reads back as the same double. Whole numbers such as indices come
// out without a decimal point.
class CsvFile {
public:
    CsvFile() = default;
    CsvFile(const CsvFile&) = delete;
    CsvFile& operator=(const CsvFile&) = delete;
    ~CsvFile();

    // Creates or truncates the file and writes the header line.
    bool open(const std::string& path, std::string_view header, std::string* error);
    bool isOpen() const { return file_ != nullptr; }
    void writeRow(std::span<const double> fields);
    // Closes the file; false when anything written since open was lost.
    bool close(std::string* error);

private:
    std::FILE* file_ = nullptr;
    std::string path_;
    std::string line_;
};
