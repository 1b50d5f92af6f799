#include "cli/csv_file.h"

#include <cerrno>
#include <cstring>

#include "cli/number_text.h"

CsvFile::~CsvFile() {
    if (file_) std::fclose(file_);
}

bool CsvFile::open(const std::string& path, std::string_view header, std::string* error) {
    file_ = std::fopen(path.c_str(), "w");
    if (!file_) {
        if (error) *error = "cannot create " + path + ": " + std::strerror(errno);
        return false;
    }
    path_ = path;
    std::fwrite(header.data(), 1, header.size(), file_);
    std::fputc('\n', file_);
    return true;
}

void CsvFile::writeRow(std::span<const double> fields) {
    line_.clear();
    for (const double value : fields) {
        if (!line_.empty()) line_ += ',';
        line_ += numberText(value);
    }
    line_ += '\n';
    std::fwrite(line_.data(), 1, line_.size(), file_);
}

bool CsvFile::close(std::string* error) {
    // A full disk shows up in the error flag or only when the buffer is
    // flushed at fclose, so both count.
    const bool failed = std::ferror(file_) != 0;
    const bool closeFailed = std::fclose(file_) != 0;
    file_ = nullptr;
    if (failed || closeFailed) {
        if (error) *error = "cannot write " + path_;
        return false;
    }
    return true;
}
