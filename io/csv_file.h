#pragma once

#include <span>
#include <string>
#include <string_view>

#include "io/replacing_file.h"

// A CSV output file of numbers, each written with 17 significant digits so
// that it reads back as the same double. Whole numbers such as indices come
// out without a decimal point. The file takes the place of an older one only
// when it is closed complete: a run that fails or is interrupted leaves the
// old results as they were.
class CsvFile {
public:
    // The path that stands for the standard output, for pipes.
    static constexpr std::string_view kStandardOutput = "-";

    // Creates the new file, still under a temporary name, with its header line.
    FileStatus open(const std::string& path, std::string_view header);
    bool isOpen() const { return toStandardOutput_ || file_.isOpen(); }
    // A row of numbers, followed by a last field of text when one is given.
    void writeRow(std::span<const double> fields, std::string_view text = {});
    // Puts the file in place; fails when anything written since open was
    // lost. On the standard output the program's own check at exit reports
    // losses.
    FileStatus close();

private:
    void write(std::string_view text);

    ReplacingFile file_;
    bool toStandardOutput_ = false;
    std::string line_;
};
