#include "io/csv_file.h"

#include <cstdio>

#include "model/number_text.h"

FileStatus CsvFile::open(const std::string& path, std::string_view header) {
    toStandardOutput_ = path == kStandardOutput;
    if (!toStandardOutput_) {
        if (FileStatus opened = file_.open(path); !opened.ok()) return opened;
    }
    write(header);
    write("\n");
    return {};
}

void CsvFile::write(std::string_view text) {
    if (toStandardOutput_)
        std::fwrite(text.data(), 1, text.size(), stdout);
    else
        file_.write(text);
}

void CsvFile::writeRow(std::span<const double> fields, std::string_view text) {
    line_.clear();
    for (const double value : fields) {
        if (!line_.empty()) line_ += ',';
        line_ += numberText(value);
    }
    if (!text.empty()) {
        line_ += ',';
        line_ += text;
    }
    line_ += '\n';
    write(line_);
}

FileStatus CsvFile::close() {
    if (!toStandardOutput_) return file_.commit();
    toStandardOutput_ = false;
    return {};
}
