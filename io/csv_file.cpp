#include "io/csv_file.h"

#include <cstdio>

#include "model/number_text.h"

bool CsvFile::open(const std::string& path, std::string_view header, std::string* error) {
    toStandardOutput_ = path == kStandardOutput;
    if (!toStandardOutput_ && !file_.open(path, error)) return false;
    write(header);
    write("\n");
    return true;
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

bool CsvFile::close(std::string* error) {
    if (!toStandardOutput_) return file_.commit(error);
    toStandardOutput_ = false;
    return true;
}
